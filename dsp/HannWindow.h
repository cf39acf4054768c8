#pragma once
// The analysis and synthesis window of the dense overlaps (4x and 8x): a periodic Hann
// window. Analysis times synthesis is Hann squared, whose copies a hop of N/4 apart sum to
// 1.5 at every sample and N/8 apart to 3, so the kernel divides its synthesis by that sum.
// Unlike the square-root window of 2x, its edges fall smoothly to zero on both sides of the
// transform, which keeps hard cuts between bins from folding back in time.

#include "dsp/AlignedFloats.h"

// w[i] = 0.5 - 0.5 cos(i * 2pi/N) for i = 0..N-1.
AlignedFloats makeHannWindow(int n);

// The sum over the frames that overlap at one sample of w squared, at hop N / overlap
// (3 overlap / 8: 1.5 at 4x, 3 at 8x).
inline float hannSquaredOverlapSum(int overlap) { return 0.375f * static_cast<float>(overlap); }
