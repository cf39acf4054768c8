#pragma once
// Up to 16 results of a Lua function called through "/call", copied out of the Lua state
// so that the reply can be built after the Lua lock is released. Plain data: it is
// filled inside a protected call, where a Lua error may unwind past it.

#include <cstddef>

namespace QN {

struct LuaCallResults {
    static constexpr int kMaxResults = 16;
    static constexpr std::size_t kTextCapacity = 1024;  // a reply never holds more

    struct Value {
        bool isString = false;
        float number = 0.0f;
        std::size_t textOffset = 0;  // into text, NUL-terminated
    };

    Value values[kMaxResults];
    int count = 0;
    char text[kTextCapacity] = {};
    std::size_t textUsed = 0;
    const char* error = nullptr;  // a fixed text when a result cannot be replied
};

}  // namespace QN
