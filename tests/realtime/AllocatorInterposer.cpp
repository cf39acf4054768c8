// The C allocator and the C++ allocation operators, defined in the test executable so
// that every allocation of the process (the plug-in's included) passes through here.
// Each forwards to the C library's own allocator and tells the probe.

#include "AudioThreadProbe.h"

#include <cerrno>
#include <cstddef>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

void* allocateAligned(std::size_t alignment, std::size_t size)
{
    AudioThreadProbe::noteAllocation();
    return __libc_memalign(alignment, size);
}

void* allocateOrThrow(std::size_t size)
{
    AudioThreadProbe::noteAllocation();
    void* block = __libc_malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t alignment)
{
    void* block = allocateAligned(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void release(void* block)
{
    if (block != nullptr) {
        AudioThreadProbe::noteFree();
        __libc_free(block);
    }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size)
{
    AudioThreadProbe::noteAllocation();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    AudioThreadProbe::noteAllocation();
    return __libc_calloc(count, size);
}

// Growing, shrinking or moving a block counts as an allocation; realloc(p, 0) as a free.
void* realloc(void* block, std::size_t size)
{
    if (block != nullptr && size == 0) {
        AudioThreadProbe::noteFree();
    } else {
        AudioThreadProbe::noteAllocation();
    }
    return __libc_realloc(block, size);
}

void free(void* block) { release(block); }

void* memalign(std::size_t alignment, std::size_t size) { return allocateAligned(alignment, size); }

void* aligned_alloc(std::size_t alignment, std::size_t size) { return allocateAligned(alignment, size); }

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* block = allocateAligned(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *result = block;
    return 0;
}

}  // extern "C"

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    AudioThreadProbe::noteAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAlignedOrThrow(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return allocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return allocateAligned(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t& tag) noexcept
{
    return operator new(size, alignment, tag);
}

void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { release(block); }
