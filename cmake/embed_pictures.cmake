# Writes a C++ source holding the given PNG files as byte arrays, so that the
# launcher carries its pictures inside the program.
# cmake -DFOLDER=<folder> -DNAMES=<a.png,b.png,...> -DOUTPUT=<file.cpp> -P embed_pictures.cmake
string(REPLACE "," ";" _names "${NAMES}")
set(_arrays "")
set(_table "")
set(_index 0)
foreach(_name IN LISTS _names)
  file(READ "${FOLDER}/${_name}" _hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(APPEND _arrays "const unsigned char kPicture${_index}[] = {\n${_bytes}\n};\n")
  string(APPEND _table "    {L\"${_name}\", kPicture${_index}, sizeof(kPicture${_index})},\n")
  math(EXPR _index "${_index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from the drawn launcher pictures; do not edit.
#include \"ui/built_in_pictures.h\"

namespace {
${_arrays}}  // namespace

const BuiltInPicture kBuiltInPictures[] = {
${_table}};
const std::size_t kBuiltInPictureCount = ${_index};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
