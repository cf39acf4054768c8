#pragma once
// Questions our own tools ask an instance through effVendorSpecific, beyond what VST 2.4
// defines: index is the question, value picks the answer. Other hosts never send these
// codes, and a plug-in that does not know one answers 0.

#include "engine/abi/Vst2Abi.h"

namespace QN::vendor {

// How many frames the selected spectral script has been run on since the instance was
// made (value kFramesRun), and on how many of those it failed (value kFramesFailed).
inline constexpr VstInt32 kSpectralScriptFrames = fourCharCode('L', 'f', 's', 'f');
inline constexpr VstIntPtr kFramesRun = 0;
inline constexpr VstIntPtr kFramesFailed = 1;

}  // namespace QN::vendor
