# Writes the C++ source of LauncherIconPng (launcher_icon.h) holding the bytes of the PNG file
# ICON, to OUTPUT. Run at build time: cmake -DICON=... -DOUTPUT=... -P embed_icon.cmake
file(READ "${ICON}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "embed_icon: ${ICON} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 row)
string(REGEX REPLACE "(${row})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Generated from ${ICON} by app/embed_icon.cmake at build time; do not edit.\n"
  "#include \"app/launcher_icon.h\"\n\n"
  "namespace {\n\n"
  "constexpr unsigned char kIconBytes[] = {\n    ${bytes}\n};\n\n"
  "}  // namespace\n\n"
  "std::string_view LauncherIconPng() {\n"
  "    return std::string_view(reinterpret_cast<const char*>(kIconBytes), sizeof kIconBytes);\n"
  "}\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
