#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The install tree as `cmake --install` lays it out: every file where GNUInstallDirs puts it,
# desktop entries that desktop-file-validate accepts, a manual page that renders without
# warnings, a systemd unit and a launcher that name the installed programs.
# Usage: check_install_tree.sh BUILD_DIRECTORY
set -euo pipefail
build=$1
for tool in desktop-file-validate man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
for path in bin/wydrukid95 bin/wydrukid95-testpage bin/wydrukid95-dosbox \
    share/applications/wydrukid95.desktop share/wydrukid95/autostart/wydrukid95.desktop \
    share/icons/hicolor/scalable/apps/wydrukid95.svg share/man/man1/wydrukid95.1.gz \
    share/man/man1/wydrukid95-testpage.1.gz share/man/man1/wydrukid95-dosbox.1.gz \
    lib/systemd/user/wydrukid95@.service share/doc/wydrukid95/README.md.gz \
    share/doc/wydrukid95/copyright share/doc/wydrukid95/changelog.Debian.gz; do
  [ -e "$root/usr/$path" ] || fail "/usr/$path is not installed"
done
[ -x "$root/usr/bin/wydrukid95-dosbox" ] || fail "the launcher is not executable"
if find "$root" -name '*test*' -path '*/bin/*' | grep -v wydrukid95-testpage | grep -q .; then
  fail "test programs are installed"
fi

desktop-file-validate "$root/usr/share/applications/wydrukid95.desktop" \
  "$root/usr/share/wydrukid95/autostart/wydrukid95.desktop" || fail "a desktop entry is invalid"
grep -qx 'Icon=wydrukid95' "$root/usr/share/applications/wydrukid95.desktop" ||
  fail "the menu entry does not name the installed icon"
# Each size of the icon theme holds a picture of that size (rendered only where rsvg-convert is).
for size in 16 22 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/wydrukid95.png
  [ -e "$png" ] || continue
  file "$png" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" ||
    fail "the ${size}x${size} icon is $(file -b "$png")"
done
# The copyright file in the machine-readable format, with the licence text of LICENSE.
copyright=$root/usr/share/doc/wydrukid95/copyright
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -qx ' THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR' "$copyright" ||
  fail "the copyright file does not carry the licence text"
grep -qx 'Copyright: [0-9]* the wydrukid95 authors' "$copyright" || fail "no copyright holders"
# The configured files name the installed program, not a placeholder.
if grep -l '@CMAKE_' -r "$root/usr/share" "$root/usr/lib" | grep -q .; then
  fail "a configured file still holds a placeholder"
fi
grep -q '^ExecStart=wydrukid95 %f/$' "$root/usr/lib/systemd/user/wydrukid95@.service" ||
  fail "the service does not start the installed agent on its job directory"

for page in wydrukid95 wydrukid95-testpage wydrukid95-dosbox; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page of $page renders with warnings: $warnings"
done
page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/wydrukid95.1.gz" 2>/dev/null)
for heading in "JOB PROTOCOL" PROFILE SIGNALS FILES "EXIT STATUS"; do
  grep -q "^$heading" <<<"$page" || fail "the manual page has no $heading section"
done
echo "install tree checked"
