#pragma once
// The analysis and synthesis window: a symmetric Hann window, square-rooted, so that
// analysis times synthesis is Hann and two frames N/2 apart sum to about one.

#include "dsp/AlignedFloats.h"

// w[i] = sqrt(0.5 - 0.5 cos(i * 2pi/(N-1))) for i = 0..N-1.
AlignedFloats makeSqrtHannWindow(int n);
