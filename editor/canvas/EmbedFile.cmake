# Turns the file INPUT into a C++ source OUTPUT defining tamblin::embedded::SYMBOL as a byte array.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
"// Generated from ${name} at build time; do not edit.\n"
"#include <cstddef>\n"
"#include <cstdint>\n"
"namespace tamblin::embedded {\n"
"extern const uint8_t ${SYMBOL}[];\n"
"extern const size_t ${SYMBOL}Size;\n"
"alignas(4) const uint8_t ${SYMBOL}[] = {\n${bytes}\n};\n"
"const size_t ${SYMBOL}Size = ${size};\n"
"}  // namespace tamblin::embedded\n")
