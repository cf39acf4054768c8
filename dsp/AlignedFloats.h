#pragma once
// A fixed-size, zero-initialised float array on a 16-byte boundary, for the SIMD loops.

#include <cstddef>
#include <cstring>
#include <new>

class AlignedFloats {
public:
    AlignedFloats() = default;
    explicit AlignedFloats(std::size_t count)
        : data_(static_cast<float*>(::operator new[](count * sizeof(float), std::align_val_t(kAlignment)))),
          count_(count)
    {
        std::memset(data_, 0, count * sizeof(float));
    }
    ~AlignedFloats() { release(); }
    AlignedFloats(AlignedFloats&& other) noexcept : data_(other.data_), count_(other.count_)
    {
        other.data_ = nullptr;
        other.count_ = 0;
    }
    AlignedFloats& operator=(AlignedFloats&& other) noexcept
    {
        if (this != &other) {
            release();
            data_ = other.data_;
            count_ = other.count_;
            other.data_ = nullptr;
            other.count_ = 0;
        }
        return *this;
    }
    AlignedFloats(const AlignedFloats&) = delete;
    AlignedFloats& operator=(const AlignedFloats&) = delete;

    float* data() { return data_; }
    const float* data() const { return data_; }
    std::size_t size() const { return count_; }
    float& operator[](std::size_t i) { return data_[i]; }
    float operator[](std::size_t i) const { return data_[i]; }

private:
    static constexpr std::size_t kAlignment = 32;
    void release()
    {
        if (data_) {
            ::operator delete[](data_, std::align_val_t(kAlignment));
        }
        data_ = nullptr;
    }
    float* data_ = nullptr;
    std::size_t count_ = 0;
};
