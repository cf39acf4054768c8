#pragma once

#include <string>

// The banner's extra text for a bin-level parameter: its centre frequency and the
// nearest note with the deviation in cents ("21.5 Hz  F0 -23 cents"); "0 Hz" for bin 0;
// empty for every other parameter. Formatted with '.' whatever the host's locale.
// Called on: any thread.
std::string binReadout(int parameterIndex, float sampleRate, int fftSize);
