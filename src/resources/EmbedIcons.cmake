# SPDX-License-Identifier: MIT
# Writes IconFiles.h: the bytes of every icon the resource script names, as C++ arrays, for
# the platforms that have no resource compiler. Run by the build with -DRC=... -DOUT=...
file(STRINGS "${RC}" lines REGEX "^[A-Z_0-9]+ ICON \"[^\"]+\"")
get_filename_component(rc_dir "${RC}" DIRECTORY)
set(arrays "")
set(table "")
set(index 0)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([A-Z_0-9]+) ICON \"([^\"]+)\"" _ "${line}")
  set(name "${CMAKE_MATCH_1}")
  file(READ "${rc_dir}/${CMAKE_MATCH_2}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "inline constexpr unsigned char kIcon${index}[] = {${bytes}};\n")
  string(APPEND table "    IconFile{\"${name}\", kIcon${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}.new" "// Made by EmbedIcons.cmake from wydrukid95.rc; do not edit.
#pragma once

#include <array>
#include <cstddef>

namespace wydruki::resources {

struct IconFile {
  const char* name;
  const unsigned char* bytes;
  std::size_t size;
};

${arrays}
inline constexpr std::array<IconFile, ${index}> kIconFiles{
${table}};

}  // namespace wydruki::resources
")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
