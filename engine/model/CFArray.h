#pragma once
// A reference-counted list of reference-counted strings; it keeps one reference to
// each string it holds.

#include "engine/model/CFString.h"

#include <atomic>
#include <vector>

class CFArray {
public:
    // Returns an empty array holding one reference for the caller.
    static CFArray* create() { return new CFArray(); }

    void append(CFString* string)
    {
        string->retain();
        items_.push_back(string);
    }
    int count() const { return static_cast<int>(items_.size()); }
    // Borrowed: valid while the array lives.
    CFString* at(int index) const { return items_[static_cast<std::size_t>(index)]; }

    void retain() { refCount_.fetch_add(1, std::memory_order_relaxed); }
    void release()
    {
        if (refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }

    CFArray(const CFArray&) = delete;
    CFArray& operator=(const CFArray&) = delete;

private:
    CFArray() = default;
    ~CFArray()
    {
        for (CFString* string : items_) {
            string->release();
        }
    }

    std::atomic<int> refCount_{1};
    std::vector<CFString*> items_;
};

class CFArrayHolder {
public:
    CFArrayHolder() = default;
    ~CFArrayHolder()
    {
        if (array_) {
            array_->release();
        }
    }
    CFArrayHolder(const CFArrayHolder&) = delete;
    CFArrayHolder& operator=(const CFArrayHolder&) = delete;
    CFArray* get() const { return array_; }
    CFArray** out() { return &array_; }

private:
    CFArray* array_ = nullptr;
};
