#pragma once
// One of a kernel's two overlapping frame pipelines (the lanes run N/2 samples apart).
// Every buffer is kCapacity floats followed by kSkew spare ones, so that no two buffers of the
// kernel (these six and the other lane's) start at the same offset within a 4 KiB page: the
// per-sample mix stores into one while it loads from three others at the same index, and a load
// whose address matches a pending store's in the low twelve bits waits for that store.

#include <cstdint>

struct FrameLane {
    static constexpr int kCapacity = 4096;
    static constexpr int kSkew = 80;  // 320 bytes
    static constexpr int kStride = kCapacity + kSkew;

    float input[2][kStride];  // lane 0 only: input[1 - fillSelector] is being filled; the other holds the
                              // previous frame (the dry path, and lane 1's frames, read both)
    float windowed[kStride];  // spare: the transforms apply the window as they read the input
    float analysis[kStride];  // forward transform output, left untouched (display)
    float working[kStride];   // levels and scripts change this copy; inverse transform input
    float output[kStride];    // windowed, scaled inverse transform, read out over the next N samples
    std::uint32_t countdown;  // samples until this lane's next frame
    std::int32_t fillSelector;  // 0 or 1
    float padding[2];
};

// The second lane starts on a 16-byte boundary too, 1936 bytes into a page.
static_assert(sizeof(FrameLane) == (6 * FrameLane::kStride + 4) * sizeof(float), "a lane is six buffers and four words");
static_assert(sizeof(FrameLane) % 16 == 0, "lanes keep 16-byte alignment");
