#pragma once
// addSpectralScript and the bin functions that spectral scripts use on the frame being
// processed. Bin k of the packed spectrum is (f[k], f[n + k]) for 0 < k < n; bins 0 and
// n are real; bins outside 0..n read as zero and ignore writes. Bin indices and values
// may be numbers or numeric strings (anything else counts as 0); indices are rounded
// to the nearest integer, halves to even.

#include "engine/scripting/LuaHeaders.h"

// Registers, in order: addSpectralScript, copyBin, multiplyBin, swapBins, getBin,
// setBin, getBinMagnitudeSqr, zeroBin, then the bulk forms multiplyBins, zeroBins,
// copyBins, getMagnitudesSqr, getBins, setBins (one call per range instead of one per bin).
// The bin functions are called on: the audio thread inside a spectral script (no allocation:
// tables passed in are written in place, a table that already has its slots never grows).
void registerSpectralBinFunctions(lua_State* L);
