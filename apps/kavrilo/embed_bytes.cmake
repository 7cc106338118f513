# Writes INPUT as a C++ header OUTPUT defining `constexpr uint8_t NAME[]` with its bytes.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n#pragma once\n#include <cstdint>\n\n"
  "inline constexpr uint8_t ${NAME}[] = {\n    ${bytes}\n};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
