#pragma once
// One of a kernel's two overlapping frame pipelines (the lanes run N/2 samples apart).
// 24580 floats, so that the second lane of a kernel starts on a 16-byte boundary too.

#include <cstdint>

struct FrameLane {
    static constexpr int kCapacity = 4096;

    float input[2][kCapacity];  // lane 0 only: input[1 - fillSelector] is being filled; the other holds the
                                // previous frame (the dry path, and lane 1's frames, read both)
    float windowed[kCapacity];  // spare: the transforms apply the window as they read the input
    float analysis[kCapacity];  // forward transform output, left untouched (display)
    float working[kCapacity];   // levels and scripts change this copy; inverse transform input
    float output[kCapacity];    // windowed, scaled inverse transform, read out over the next N samples
    std::uint32_t countdown;    // samples until this lane's next frame
    std::int32_t fillSelector;  // 0 or 1
    float padding[2];
};

static_assert(sizeof(FrameLane) == 24580 * sizeof(float), "a lane is 24580 floats");
