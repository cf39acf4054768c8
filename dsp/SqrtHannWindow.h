#pragma once
// The analysis and synthesis window: a periodic Hann window, square-rooted, so that
// analysis times synthesis is Hann and two frames N/2 apart sum to exactly one
// (sin^2 + cos^2), which makes the wet path transparent at unity levels whatever the hop phase.

#include "dsp/AlignedFloats.h"

// w[i] = sqrt(0.5 - 0.5 cos(i * 2pi/N)) = sin(i * pi/N) for i = 0..N-1.
AlignedFloats makeSqrtHannWindow(int n);
