#include "platform/LuaLibrary.h"

#include "platform/linux/LuaApi.h"

#include <dlfcn.h>
#include <mutex>

namespace platform {

LuaApi luaApi;

namespace {

// Any library with the Lua 5.1 C API will do; the build chooses which (LUMENFOLD_LUA_LIBRARY).
#ifdef LUMENFOLD_LUA_LIBRARY_NAME
constexpr const char* kLuaLibraryName = LUMENFOLD_LUA_LIBRARY_NAME;
#else
constexpr const char* kLuaLibraryName = "liblua5.1.so.0";
#endif

// RTLD_LOCAL keeps Lua's names out of the host's global scope, and
// RTLD_DEEPBIND makes Lua's calls between its own functions stay inside it
// even when the host exports functions of the same names. Sanitizer builds
// (see platform/CMakeLists.txt) cannot use RTLD_DEEPBIND.
#ifdef LUMENFOLD_LUA_WITHOUT_DEEPBIND
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif

struct LoadOutcome {
    bool loaded = false;
    std::string error;
};

LoadOutcome outcome;
std::once_flag loadOnce;

// Resolves every entry of the table; names the first missing one.
bool resolveAll(void* handle, LuaApi& api, std::string& error) {
#define LUMENFOLD_LUA_RESOLVE(name)                                                   \
    api.name = reinterpret_cast<decltype(api.name)>(::dlsym(handle, #name));          \
    if (api.name == nullptr) {                                                        \
        error = std::string(kLuaLibraryName) + " lacks the function " #name;          \
        return false;                                                                 \
    }
    LUMENFOLD_LUA_FUNCTIONS(LUMENFOLD_LUA_RESOLVE)
#undef LUMENFOLD_LUA_RESOLVE
    return true;
}

void load() {
    void* handle = ::dlopen(kLuaLibraryName, kOpenFlags);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        if (reason != nullptr) {
            outcome.error = reason;
        } else {
            outcome.error = "cannot open ";
            outcome.error += kLuaLibraryName;
        }
        return;
    }
    LuaApi api;
    if (!resolveAll(handle, api, outcome.error)) {
        ::dlclose(handle);
        return;
    }
    // Never closed: Lua states may live until the process ends.
    luaApi = api;
    outcome.loaded = true;
}

}  // namespace

bool loadLuaLibrary(std::string* error) {
    try {
        std::call_once(loadOnce, load);
    } catch (const std::exception&) {
        if (error != nullptr) *error = "cannot load Lua";
        return false;
    }
    if (!outcome.loaded && error != nullptr) *error = outcome.error;
    return outcome.loaded;
}

}  // namespace platform
