#pragma once
// A small immutable, reference-counted string: value texts and script names are handed
// out with one reference that the receiver releases.

#include <atomic>
#include <string>
#include <utility>

class CFString {
public:
    // Returns a string holding one reference for the caller.
    static CFString* create(std::string text) { return new CFString(std::move(text)); }

    void retain() { refCount_.fetch_add(1, std::memory_order_relaxed); }
    void release()
    {
        if (refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }
    const std::string& text() const { return text_; }

    CFString(const CFString&) = delete;
    CFString& operator=(const CFString&) = delete;

private:
    explicit CFString(std::string text) : text_(std::move(text)) {}
    ~CFString() = default;

    std::atomic<int> refCount_{1};
    std::string text_;
};

// Holds one reference and releases it when it goes out of scope.
class CFStringHolder {
public:
    explicit CFStringHolder(CFString* string = nullptr) : string_(string) {}
    ~CFStringHolder()
    {
        if (string_) {
            string_->release();
        }
    }
    CFStringHolder(const CFStringHolder&) = delete;
    CFStringHolder& operator=(const CFStringHolder&) = delete;
    CFString* get() const { return string_; }
    CFString** out() { return &string_; }

private:
    CFString* string_;
};
