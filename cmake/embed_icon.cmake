# Turns the icon file into a C++ source holding its bytes.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "#include <cstddef>\nextern const unsigned char olvistraIconData[];\nextern const std::size_t olvistraIconSize;\nconst unsigned char olvistraIconData[] = {${bytes}};\nconst std::size_t olvistraIconSize = ${size};\n")
