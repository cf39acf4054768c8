// The program's own print. In a state with a console (the instance's scripts) each call
// becomes one console line marked with the caller's file and line, so that printing never
// waits on standard error, even on the audio thread; elsewhere (the editor's layout) the
// text goes straight to standard error. Pieces are copied into fixed buffers, so no
// buffer can overflow and nothing is allocated.

#include "platform/MessageOutput.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/ScriptConsole.h"

#include <cstdio>
#include <cstring>

namespace QN::script {

namespace {

// Collects one printed line; a line longer than the console's lines goes out in parts.
class PrintedLine {
public:
    PrintedLine(ScriptConsole* console, const char* source) : console_(console), source_(source) {}

    void append(const char* text, std::size_t length)
    {
        while (length > 0) {
            const std::size_t room = sizeof(buffer_) - 1 - used_;
            const std::size_t part = length < room ? length : room;
            std::memcpy(buffer_ + used_, text, part);
            used_ += part;
            text += part;
            length -= part;
            if (used_ == sizeof(buffer_) - 1) {
                send();
            }
        }
    }

    void finish()
    {
        if (used_ > 0 || !sentAny_) {
            send();
        }
    }

private:
    void send()
    {
        buffer_[used_] = '\0';
        if (console_ != nullptr) {
            console_->post(source_, buffer_);
        } else {
            platform::writeDebugOutput(buffer_);
            platform::writeDebugOutput("\n");
        }
        used_ = 0;
        sentAny_ = true;
    }

    ScriptConsole* console_;
    const char* source_;
    char buffer_[ScriptConsole::kTextBytes] = {};
    std::size_t used_ = 0;
    bool sentAny_ = false;
};

void callerPlace(lua_State* L, char* place, std::size_t size)
{
    lua_Debug where{};
    if (lua_getstack(L, 1, &where) != 0 && lua_getinfo(L, "Sl", &where) != 0 && where.currentline > 0) {
        std::snprintf(place, size, "%s:%d", where.short_src, where.currentline);
    } else {
        place[0] = '\0';
    }
}

}  // namespace

int print(lua_State* L)
{
    const int count = lua_gettop(L);
    char place[ScriptConsole::kSourceBytes];
    callerPlace(L, place, sizeof(place));
    PrintedLine line(ScriptConsole::of(L), place);
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
            line.append("\t", 1);
        }
        line.append(text, length);
        lua_pop(L, 1);
    }
    line.finish();
    return 0;
}

}  // namespace QN::script
