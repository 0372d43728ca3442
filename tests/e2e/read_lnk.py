#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Prints what a Windows shortcut (.lnk) starts, from the file's own bytes (the published
Shell Link binary format): "target=PATH", "arguments=ARGS", "directory=DIR", one a line.
Exits 1 when the file is not a shortcut or names no local target."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION, IS_UNICODE = 0x10, 0x20, 0x40, 0x80
LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")


def c_string(data, offset, unicode):
    if unicode:
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    return data[offset:data.index(b"\0", offset)].decode("cp1252")


def main(path):
    data = open(path, "rb").read()
    if len(data) < 76 or struct.unpack_from("<I", data, 0)[0] != 76 or data[4:20] != LINK_CLSID:
        print(f"{path}: not a shortcut", file=sys.stderr)
        return 1
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & HAS_LINK_INFO:
        size, header, info_flags, _, base, _, suffix = struct.unpack_from("<7I", data, at)
        if info_flags & 0x1:  # a volume and a local path
            if header >= 0x24:
                base_u, suffix_u = struct.unpack_from("<2I", data, at + 28)
                target = c_string(data, at + base_u, True) + c_string(data, at + suffix_u, True)
            else:
                target = c_string(data, at + base, False) + c_string(data, at + suffix, False)
        at += size
    strings = {}
    for flag, name in ((HAS_NAME, "name"), (HAS_RELATIVE_PATH, "relative"),
                       (HAS_WORKING_DIR, "directory"), (HAS_ARGUMENTS, "arguments"),
                       (HAS_ICON_LOCATION, "icon")):
        if flags & flag:
            count = struct.unpack_from("<H", data, at)[0]
            width = 2 if flags & IS_UNICODE else 1
            raw = data[at + 2:at + 2 + count * width]
            # Some writers count a terminating NUL in the length: it is not part of the text.
            strings[name] = raw.decode("utf-16-le" if width == 2 else "cp1252").rstrip("\0")
            at += 2 + count * width
    if target is None:
        print(f"{path}: the shortcut names no local target", file=sys.stderr)
        return 1
    print(f"target={target}")
    print(f"arguments={strings.get('arguments', '')}")
    print(f"directory={strings.get('directory', '')}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
