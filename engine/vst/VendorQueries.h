#pragma once
// Questions our own tools ask an instance through effVendorSpecific, beyond what VST 2.4
// defines: index is the question, value picks the answer. Other hosts never send these
// codes, and a plug-in that does not know one answers 0.

#include "engine/abi/Vst2Abi.h"

#include <cstddef>

namespace QN::vendor {

// How many frames the selected spectral script has been run on since the instance was
// made (value kFramesRun), and on how many of those it failed (value kFramesFailed).
inline constexpr VstInt32 kSpectralScriptFrames = fourCharCode('L', 'f', 's', 'f');
inline constexpr VstIntPtr kFramesRun = 0;
inline constexpr VstIntPtr kFramesFailed = 1;

// The one-line description of program `value` (0 is "Defaults", then the factory
// presets in getProgramNameIndexed's order), written zero-terminated into ptr, which
// must hold kProgramDescriptionSize bytes. Answers 1 when written, 0 for a program
// number out of range or a null ptr (nothing is written then).
inline constexpr VstInt32 kProgramDescription = fourCharCode('L', 'f', 'p', 'd');
inline constexpr std::size_t kProgramDescriptionSize = 256;

}  // namespace QN::vendor
