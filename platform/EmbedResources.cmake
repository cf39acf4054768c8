# Run at build time by lumenfold_embed_resources():
#   cmake -DMANIFEST=<list file> -DOUTPUT=<source> -P EmbedResources.cmake
# The manifest sets RESOURCE_ENTRIES to <type> <id> <file> triples. Writes a
# C++ source that holds each file's bytes (plus a terminating zero byte) and
# defines platform::findResource over them.

include("${MANIFEST}")

# 32 bytes per line of the generated source.
string(REPEAT "[0-9a-f][0-9a-f]" 32 lineOfBytes)

set(arrays "")
set(table "")
list(LENGTH RESOURCE_ENTRIES count)
math(EXPR last "${count} - 1")
foreach(index RANGE 0 ${last} 3)
  math(EXPR idIndex "${index} + 1")
  math(EXPR fileIndex "${index} + 2")
  list(GET RESOURCE_ENTRIES ${index} type)
  list(GET RESOURCE_ENTRIES ${idIndex} id)
  list(GET RESOURCE_ENTRIES ${fileIndex} file)
  file(READ "${file}" hex HEX)
  file(SIZE "${file}" size)
  string(REGEX REPLACE "(${lineOfBytes})" "\\1\n    " hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  set(name "resource_${type}_${id}")
  string(APPEND arrays "// ${file}\nconst unsigned char ${name}[] = {\n    ${hex}0x00};\n\n")
  string(APPEND table "    {${type}, ${id}, ${name}, ${size}u},\n")
endforeach()

set(content "// Generated from the product's resource files; do not edit.

#include \"platform/Resources.h\"

namespace {

${arrays}struct Entry {
    int type;
    int id;
    const unsigned char* data;
    std::size_t size;
};

const Entry entries[] = {
${table}};

}  // namespace

namespace platform {

std::optional<ResourceData> findResource(int type, int id) {
    for (const Entry& entry : entries) {
        if (entry.type == type && entry.id == id) return ResourceData{entry.data, entry.size};
    }
    return std::nullopt;
}

}  // namespace platform
")

file(WRITE "${OUTPUT}" "${content}")
