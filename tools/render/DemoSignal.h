#pragma once
// The built-in test signal lumenfold-render renders with --demo: 4 seconds of stereo
// with a few steady partials, an exponential sweep across the spectrum and a little
// noise, the same on every run (fixed noise seed) so renders can be compared.

#include <vector>

namespace lfrender {

inline constexpr double kDemoSeconds = 4.0;
inline constexpr float kDemoDefaultSampleRate = 48000.0f;

[[nodiscard]] std::vector<std::vector<float>> makeDemoSignal(float sampleRate);

}  // namespace lfrender
