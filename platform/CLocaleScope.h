#pragma once

namespace platform {

// Makes the calling thread use the "C" locale for as long as the scope lives,
// so that number formatting and parsing (ours and Lua's) use '.' as the decimal
// separator whatever locale the host runs under. Only the calling thread's
// locale changes; the process locale is never touched. Scopes nest.
// Called on: any thread; the scope must end on the thread that began it.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    void* previous_;  // the thread's locale before the scope
};

}  // namespace platform
