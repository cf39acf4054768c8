// The program's own print: every piece goes to the debugger output (standard error),
// written in pieces of at most 299 bytes so that no buffer can overflow.

#include "platform/MessageOutput.h"
#include "scripting/LuaScriptFunctions.h"

#include <cstring>

namespace QN::script {

namespace {

constexpr std::size_t kPieceBuffer = 300;

void writePiece(const char* text, std::size_t length)
{
    char buffer[kPieceBuffer];
    while (length > 0) {
        const std::size_t part = length < kPieceBuffer - 1 ? length : kPieceBuffer - 1;
        std::memcpy(buffer, text, part);
        buffer[part] = '\0';
        platform::writeDebugOutput(buffer);
        text += part;
        length -= part;
    }
}

}  // namespace

int print(lua_State* L)
{
    const int count = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= count; ++i) {
        lua_pushvalue(L, -1);  // tostring
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        std::size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        if (text == nullptr) {
            return luaL_error(L, "'tostring' must return a string to 'print'");
        }
        if (i > 1) {
            writePiece("\t", 1);
        }
        writePiece(text, length);
        lua_pop(L, 1);
    }
    writePiece("\n", 1);
    return 0;
}

}  // namespace QN::script
