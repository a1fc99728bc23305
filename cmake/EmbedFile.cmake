# Writes a C++ source that holds a file's bytes as a string_view:
#   cmake -DINPUT=... -DOUTPUT=... -DNAMESPACE=... -DFUNCTION=... -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR byte_count "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}"
"// Generated from ${INPUT}; do not edit.
#include <string_view>

namespace ${NAMESPACE} {
namespace {
constexpr char kBytes[] = {
    ${bytes}
};
}  // namespace

std::string_view ${FUNCTION}() { return std::string_view(kBytes, ${byte_count}); }

}  // namespace ${NAMESPACE}
")
