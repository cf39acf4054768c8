#include "engine/scripting/LuaPatternFunctions.h"

#include "engine/scripting/LuaWatchdog.h"

#include <cctype>
#include <cstddef>
#include <cstring>

// Everything here runs inside Lua calls and may end in a Lua error (a longjmp), so it
// keeps only plain data: no object with a destructor lives across a call into Lua.

namespace QN {

namespace {

constexpr int kMaxCaptures = 32;
constexpr std::ptrdiff_t kUnfinished = -1;
constexpr std::ptrdiff_t kPosition = -2;
constexpr int kMaxDepth = 200;
constexpr unsigned kStepsBetweenChecks = 1u << 11;
constexpr char kEscape = '%';
constexpr const char* kSpecials = "^$*+?.([%-";

struct Capture {
    const char* start;
    std::ptrdiff_t length;
};

// One match attempt of a pattern against a subject.
struct Matcher {
    lua_State* L;
    const char* subject;
    const char* subjectEnd;
    const char* patternEnd;
    int level;
    int depth;
    unsigned steps;
    Capture capture[kMaxCaptures];
};

unsigned char byteAt(const char* p) { return static_cast<unsigned char>(*p); }

void step(Matcher& m)
{
    if ((++m.steps & (kStepsBetweenChecks - 1)) == 0) {
        LuaWatchdog::check(m.L);
    }
}

bool classMatches(int c, int cls)
{
    bool result = false;
    switch (std::tolower(cls)) {
    case 'a': result = std::isalpha(c); break;
    case 'c': result = std::iscntrl(c); break;
    case 'd': result = std::isdigit(c); break;
    case 'l': result = std::islower(c); break;
    case 'p': result = std::ispunct(c); break;
    case 's': result = std::isspace(c); break;
    case 'u': result = std::isupper(c); break;
    case 'w': result = std::isalnum(c); break;
    case 'x': result = std::isxdigit(c); break;
    case 'z': result = c == 0; break;
    default: return cls == c;
    }
    return std::isupper(cls) ? !result : result;
}

// set points at '[', last at its closing ']'.
bool setMatches(int c, const char* set, const char* last)
{
    bool wanted = true;
    const char* p = set + 1;
    if (*p == '^') {
        wanted = false;
        ++p;
    }
    for (; p < last; ++p) {
        if (*p == kEscape && p + 1 < last) {
            ++p;
            if (classMatches(c, byteAt(p))) {
                return wanted;
            }
        } else if (p[1] == '-' && p + 2 < last) {
            if (byteAt(p) <= c && c <= byteAt(p + 2)) {
                return wanted;
            }
            p += 2;
        } else if (byteAt(p) == c) {
            return wanted;
        }
    }
    return !wanted;
}

// Past the single-character class that starts at p.
const char* classEnd(Matcher& m, const char* p)
{
    if (*p == kEscape) {
        if (p + 1 >= m.patternEnd) {
            luaL_error(m.L, "malformed pattern (ends with '%%')");
        }
        return p + 2;
    }
    if (*p == '[') {
        ++p;
        if (*p == '^') {
            ++p;
        }
        // The first character of a set is never its end, so "[]]" holds a ']'.
        do {
            if (p >= m.patternEnd) {
                luaL_error(m.L, "malformed pattern (missing ']')");
            }
            if (*p++ == kEscape && p < m.patternEnd) {
                ++p;
            }
        } while (p >= m.patternEnd || *p != ']');
        return p + 1;
    }
    return p + 1;
}

bool singleMatches(Matcher& m, const char* s, const char* p, const char* ep)
{
    if (s >= m.subjectEnd) {
        return false;
    }
    const int c = byteAt(s);
    switch (*p) {
    case '.': return true;
    case kEscape: return classMatches(c, byteAt(p + 1));
    case '[': return setMatches(c, p, ep - 1);
    default: return byteAt(p) == c;
    }
}

const char* match(Matcher& m, const char* s, const char* p);

const char* maxExpand(Matcher& m, const char* s, const char* p, const char* ep)
{
    std::ptrdiff_t count = 0;
    while (singleMatches(m, s + count, p, ep)) {
        ++count;
    }
    for (; count >= 0; --count) {
        if (const char* end = match(m, s + count, ep + 1)) {
            return end;
        }
    }
    return nullptr;
}

const char* minExpand(Matcher& m, const char* s, const char* p, const char* ep)
{
    for (;;) {
        if (const char* end = match(m, s, ep + 1)) {
            return end;
        }
        if (!singleMatches(m, s, p, ep)) {
            return nullptr;
        }
        ++s;
    }
}

const char* startCapture(Matcher& m, const char* s, const char* p, std::ptrdiff_t what)
{
    if (m.level >= kMaxCaptures) {
        luaL_error(m.L, "too many captures");
    }
    m.capture[m.level] = {s, what};
    ++m.level;
    const char* end = match(m, s, p);
    if (end == nullptr) {
        --m.level;
    }
    return end;
}

const char* endCapture(Matcher& m, const char* s, const char* p)
{
    int open = m.level - 1;
    while (open >= 0 && m.capture[open].length != kUnfinished) {
        --open;
    }
    if (open < 0) {
        luaL_error(m.L, "invalid pattern capture");
    }
    m.capture[open].length = s - m.capture[open].start;
    const char* end = match(m, s, p);
    if (end == nullptr) {
        m.capture[open].length = kUnfinished;
    }
    return end;
}

const char* matchBalance(Matcher& m, const char* s, const char* p)
{
    if (p + 1 >= m.patternEnd) {
        luaL_error(m.L, "unbalanced pattern");
    }
    if (s >= m.subjectEnd || *s != p[0]) {
        return nullptr;
    }
    const char open = p[0];
    const char close = p[1];
    int depth = 1;
    while (++s < m.subjectEnd) {
        if (*s == close) {
            if (--depth == 0) {
                return s + 1;
            }
        } else if (*s == open) {
            ++depth;
        }
    }
    return nullptr;
}

int checkedCapture(Matcher& m, int digit)
{
    const int index = digit - '1';
    if (index < 0 || index >= m.level || m.capture[index].length == kUnfinished) {
        luaL_error(m.L, "invalid capture index");
    }
    return index;
}

const char* matchBackReference(Matcher& m, const char* s, int digit)
{
    const Capture& earlier = m.capture[checkedCapture(m, digit)];
    const auto length = static_cast<std::size_t>(earlier.length);
    if (static_cast<std::size_t>(m.subjectEnd - s) >= length && std::memcmp(earlier.start, s, length) == 0) {
        return s + length;
    }
    return nullptr;
}

// %f[set]: the place where the character before is not in the set and the one after is.
const char* matchFrontier(Matcher& m, const char* s, const char* p, const char** next)
{
    if (*p != '[') {
        luaL_error(m.L, "missing '[' after '%%f' in pattern");
    }
    const char* ep = classEnd(m, p);
    const int before = s == m.subject ? 0 : byteAt(s - 1);
    const int after = s < m.subjectEnd ? byteAt(s) : 0;
    *next = ep;
    return !setMatches(before, p, ep - 1) && setMatches(after, p, ep - 1) ? s : nullptr;
}

// A single-character class followed by an optional repetition.
const char* matchItem(Matcher& m, const char* s, const char* p, const char** nextP, bool* done)
{
    const char* ep = classEnd(m, p);
    const bool matches = singleMatches(m, s, p, ep);
    *done = true;
    switch (*ep) {
    case '?':
        if (matches) {
            if (const char* end = match(m, s + 1, ep + 1)) {
                return end;
            }
        }
        *done = false;
        *nextP = ep + 1;
        return s;
    case '*': return maxExpand(m, s, p, ep);
    case '+': return matches ? maxExpand(m, s + 1, p, ep) : nullptr;
    case '-': return minExpand(m, s, p, ep);
    default:
        if (!matches) {
            return nullptr;
        }
        *done = false;
        *nextP = ep;
        return s + 1;
    }
}

const char* matchBody(Matcher& m, const char* s, const char* p)
{
    for (;;) {
        step(m);
        if (p >= m.patternEnd) {
            return s;
        }
        if (*p == '(') {
            return p[1] == ')' ? startCapture(m, s, p + 2, kPosition) : startCapture(m, s, p + 1, kUnfinished);
        }
        if (*p == ')') {
            return endCapture(m, s, p + 1);
        }
        if (*p == kEscape && p[1] == 'b') {
            s = matchBalance(m, s, p + 2);
            if (s == nullptr) {
                return nullptr;
            }
            p += 4;
            continue;
        }
        if (*p == kEscape && p[1] == 'f') {
            s = matchFrontier(m, s, p + 2, &p);
            if (s == nullptr) {
                return nullptr;
            }
            continue;
        }
        if (*p == kEscape && std::isdigit(byteAt(p + 1))) {
            s = matchBackReference(m, s, byteAt(p + 1));
            if (s == nullptr) {
                return nullptr;
            }
            p += 2;
            continue;
        }
        if (*p == '$' && p + 1 == m.patternEnd) {
            return s == m.subjectEnd ? s : nullptr;
        }
        bool done = false;
        const char* next = p;
        s = matchItem(m, s, p, &next, &done);
        if (done || s == nullptr) {
            return s;
        }
        p = next;
    }
}

const char* match(Matcher& m, const char* s, const char* p)
{
    if (++m.depth > kMaxDepth) {
        luaL_error(m.L, "pattern too complex");
    }
    const char* end = matchBody(m, s, p);
    --m.depth;
    return end;
}

void pushCapture(Matcher& m, int index, const char* s, const char* e)
{
    if (index >= m.level) {
        if (index != 0) {
            luaL_error(m.L, "invalid capture index");
        }
        lua_pushlstring(m.L, s, static_cast<std::size_t>(e - s));
        return;
    }
    const Capture& capture = m.capture[index];
    if (capture.length == kUnfinished) {
        luaL_error(m.L, "unfinished capture");
    }
    if (capture.length == kPosition) {
        lua_pushinteger(m.L, capture.start - m.subject + 1);
    } else {
        lua_pushlstring(m.L, capture.start, static_cast<std::size_t>(capture.length));
    }
}

// The captures, or the whole match (s..e) when the pattern has none; s null: captures only.
int pushCaptures(Matcher& m, const char* s, const char* e)
{
    const int count = (m.level == 0 && s != nullptr) ? 1 : m.level;
    luaL_checkstack(m.L, count, "too many captures");
    for (int i = 0; i < count; ++i) {
        pushCapture(m, i, s, e);
    }
    return count;
}

void begin(Matcher& m, lua_State* L, const char* subject, std::size_t length, const char* pattern)
{
    m.L = L;
    m.subject = subject;
    m.subjectEnd = subject + length;
    m.patternEnd = pattern + std::strlen(pattern);
    m.level = 0;
    m.depth = 0;
    m.steps = 0;
}

std::ptrdiff_t relativePosition(lua_Integer position, std::size_t length)
{
    if (position < 0) {
        position += static_cast<lua_Integer>(length) + 1;
    }
    return position >= 0 ? static_cast<std::ptrdiff_t>(position) : 0;
}

const char* findPlain(const char* subject, std::size_t length, const char* text, std::size_t textLength)
{
    if (textLength == 0) {
        return subject;
    }
    if (textLength > length) {
        return nullptr;
    }
    for (const char* s = subject; s + textLength <= subject + length; ++s) {
        if (std::memcmp(s, text, textLength) == 0) {
            return s;
        }
    }
    return nullptr;
}

int findOrMatch(lua_State* L, bool find)
{
    std::size_t length = 0;
    std::size_t patternLength = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    const char* pattern = luaL_checklstring(L, 2, &patternLength);
    std::ptrdiff_t init = relativePosition(luaL_optinteger(L, 3, 1), length) - 1;
    if (init < 0) {
        init = 0;
    } else if (static_cast<std::size_t>(init) > length) {
        init = static_cast<std::ptrdiff_t>(length);
    }
    if (find && (lua_toboolean(L, 4) || std::strpbrk(pattern, kSpecials) == nullptr)) {
        const char* found = findPlain(subject + init, length - static_cast<std::size_t>(init), pattern, patternLength);
        if (found != nullptr) {
            lua_pushinteger(L, found - subject + 1);
            lua_pushinteger(L, static_cast<lua_Integer>(found - subject + static_cast<std::ptrdiff_t>(patternLength)));
            return 2;
        }
    } else {
        Matcher m;
        const bool anchored = *pattern == '^';
        if (anchored) {
            ++pattern;
        }
        const char* s = subject + init;
        do {
            begin(m, L, subject, length, pattern);
            if (const char* e = match(m, s, pattern)) {
                if (!find) {
                    return pushCaptures(m, s, e);
                }
                lua_pushinteger(L, s - subject + 1);
                lua_pushinteger(L, e - subject);
                return pushCaptures(m, nullptr, nullptr) + 2;
            }
        } while (s++ < m.subjectEnd && !anchored);
    }
    lua_pushnil(L);
    return 1;
}

int find(lua_State* L) { return findOrMatch(L, true); }

int matchFunction(lua_State* L) { return findOrMatch(L, false); }

int gmatchNext(lua_State* L)
{
    std::size_t length = 0;
    const char* subject = lua_tolstring(L, lua_upvalueindex(1), &length);
    const char* pattern = lua_tostring(L, lua_upvalueindex(2));
    Matcher m;
    for (const char* s = subject + lua_tointeger(L, lua_upvalueindex(3)); s <= subject + length; ++s) {
        begin(m, L, subject, length, pattern);
        if (const char* e = match(m, s, pattern)) {
            lua_Integer next = e - subject;
            if (e == s) {
                ++next;  // an empty match moves on by one
            }
            lua_pushinteger(L, next);
            lua_replace(L, lua_upvalueindex(3));
            return pushCaptures(m, s, e);
        }
    }
    return 0;
}

int gmatch(lua_State* L)
{
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushinteger(L, 0);
    lua_pushcclosure(L, gmatchNext, 3);
    return 1;
}

void addReplacementText(Matcher& m, luaL_Buffer* buffer, const char* s, const char* e)
{
    std::size_t length = 0;
    const char* text = lua_tolstring(m.L, 3, &length);
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != kEscape) {
            luaL_addchar(buffer, text[i]);
            continue;
        }
        ++i;  // a '%' at the very end adds the terminating zero, as Lua 5.1 does
        if (!std::isdigit(byteAt(text + i))) {
            luaL_addchar(buffer, text[i]);
        } else if (text[i] == '0') {
            luaL_addlstring(buffer, s, static_cast<std::size_t>(e - s));
        } else {
            pushCapture(m, text[i] - '1', s, e);
            luaL_addvalue(buffer);
        }
    }
}

void addReplacement(Matcher& m, luaL_Buffer* buffer, const char* s, const char* e)
{
    lua_State* L = m.L;
    switch (lua_type(L, 3)) {
    case LUA_TNUMBER:
    case LUA_TSTRING: addReplacementText(m, buffer, s, e); return;
    case LUA_TFUNCTION: {
        lua_pushvalue(L, 3);
        const int count = pushCaptures(m, s, e);
        lua_call(L, count, 1);
        break;
    }
    case LUA_TTABLE:
        pushCapture(m, 0, s, e);
        lua_gettable(L, 3);
        break;
    default: break;
    }
    if (!lua_toboolean(L, -1)) {
        lua_pop(L, 1);
        lua_pushlstring(L, s, static_cast<std::size_t>(e - s));  // keep the original text
    } else if (!lua_isstring(L, -1)) {
        luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
    }
    luaL_addvalue(buffer);
}

int gsub(lua_State* L)
{
    std::size_t length = 0;
    const char* subject = luaL_checklstring(L, 1, &length);
    const char* pattern = luaL_checkstring(L, 2);
    const int replacementType = lua_type(L, 3);
    const lua_Integer maximum = luaL_optinteger(L, 4, static_cast<lua_Integer>(length) + 1);
    luaL_argcheck(L,
                  replacementType == LUA_TNUMBER || replacementType == LUA_TSTRING ||
                      replacementType == LUA_TFUNCTION || replacementType == LUA_TTABLE,
                  3, "string/function/table expected");
    const bool anchored = *pattern == '^';
    if (anchored) {
        ++pattern;
    }
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    Matcher m;
    const char* s = subject;
    lua_Integer count = 0;
    while (count < maximum) {
        begin(m, L, subject, length, pattern);
        const char* e = match(m, s, pattern);
        if (e != nullptr) {
            ++count;
            addReplacement(m, &buffer, s, e);
        }
        if (e != nullptr && e > s) {
            s = e;
        } else if (s < m.subjectEnd) {
            luaL_addchar(&buffer, *s++);
        } else {
            break;
        }
        if (anchored) {
            break;
        }
    }
    luaL_addlstring(&buffer, s, static_cast<std::size_t>(subject + length - s));
    luaL_pushresult(&buffer);
    lua_pushinteger(L, count);
    return 2;
}

void setStringFunction(lua_State* L, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, -2, name);
}

}  // namespace

void installInterruptiblePatterns(lua_State* L)
{
    lua_getglobal(L, "string");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    setStringFunction(L, "find", find);
    setStringFunction(L, "match", matchFunction);
    setStringFunction(L, "gmatch", gmatch);
    setStringFunction(L, "gsub", gsub);
    lua_getfield(L, -1, "gfind");
    const bool hasGfind = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (hasGfind) {
        setStringFunction(L, "gfind", gmatch);
    }
    lua_pop(L, 1);
}

}  // namespace QN
