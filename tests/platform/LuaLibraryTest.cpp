#include "platform/LuaLibrary.h"

#include "platform/linux/LuaApi.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <lua5.1/lua.hpp>
#include <string>

namespace {

// Owns a state made through the forwarders.
class LuaState {
public:
    LuaState() : state_(luaL_newstate()) {
        if (state_ != nullptr) luaL_openlibs(state_);
    }
    ~LuaState() {
        if (state_ != nullptr) lua_close(state_);
    }
    LuaState(const LuaState&) = delete;
    LuaState& operator=(const LuaState&) = delete;
    lua_State* get() const { return state_; }

private:
    lua_State* state_;
};

int failWithFormattedMessage(lua_State* L) {
    return luaL_error(L, "bad %s %d", "value", 42);
}

TEST(LuaLibrary, RunsAChunkThroughTheForwarders) {
    LuaState lua;
    lua_State* L = lua.get();
    ASSERT_NE(L, nullptr);
    ASSERT_EQ(luaL_loadstring(L, "return 1 + 2, string.format('%d', 7)"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0);
    EXPECT_EQ(lua_tonumber(L, -2), 3.0);
    EXPECT_STREQ(lua_tostring(L, -1), "7");
    lua_pop(L, 2);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST(LuaLibrary, VariadicFunctionsPassTheirArgumentsOn) {
    LuaState lua;
    lua_State* L = lua.get();
    ASSERT_NE(L, nullptr);
    EXPECT_STREQ(lua_pushfstring(L, "%s=%d", "port", 7000), "port=7000");
    lua_pop(L, 1);
    lua_pushcfunction(L, failWithFormattedMessage);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "bad value 42");
    lua_pop(L, 1);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST(LuaLibrary, ErrorsRaisedFromLuaCodeCarryTheirPosition) {
    LuaState lua;
    lua_State* L = lua.get();
    ASSERT_NE(L, nullptr);
    lua_register(L, "fail", failWithFormattedMessage);
    ASSERT_EQ(luaL_loadbuffer(L, "\nfail()", 7, "=chunk"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "chunk:2: bad value 42");
    lua_pop(L, 1);
}

// Every entry of the table must come from Debian's Lua 5.1, never from
// whatever else the process has loaded.
TEST(LuaLibrary, EveryFunctionIsResolvedFromThePrivateLuaCopy) {
    ASSERT_TRUE(platform::loadLuaLibrary(nullptr));
    int checked = 0;
    auto expectFromLiblua = [&checked](const void* function, const char* name) {
        Dl_info info{};
        ASSERT_NE(::dladdr(function, &info), 0) << name;
        EXPECT_NE(std::string(info.dli_fname).find("liblua5.1.so.0"), std::string::npos) << name;
        ++checked;
    };
#define LUMENFOLD_CHECK(name) expectFromLiblua(reinterpret_cast<const void*>(platform::luaApi.name), #name);
    LUMENFOLD_LUA_FUNCTIONS(LUMENFOLD_CHECK)
#undef LUMENFOLD_CHECK
    EXPECT_EQ(checked, 123);
}

}  // namespace
