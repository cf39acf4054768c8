#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets (or unsets, with nullopt) an environment variable for the life of the
// object and puts the old value back afterwards, so tests cannot leak their
// folders into each other.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        apply(value);
    }
    ~ScopedEnvironmentVariable() { apply(old_); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    void apply(const std::optional<std::string>& value) {
        if (value)
            ::setenv(name_.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> old_;
};
