#pragma once
// The factory presets a host lists as programs: "Defaults" (program 0, the values a new
// instance starts with) and the named settings after it. Each is a whole set of values
// for the one program block: bin levels shaped by frequency at the preset's FFT size (a
// 48 kHz reference rate) or by bin number, the mix, the gains and a built-in spectral
// script, which it names: the instance resolves the name against its own script list.

#include "engine/model/ProgramValues.h"

#include <string_view>

namespace FactoryPresets {

// The sample rate a preset's frequencies are placed at: at other rates its curve moves
// with the rate, as every bin does.
inline constexpr double kReferenceRate = 48000.0;

// Programs, "Defaults" included.
int count();
bool isValidIndex(int index);
// index must be valid.
const char* name(int index);
const char* description(int index);
// The spectral script the preset selects, by name; nullptr for none ("Off").
const char* scriptName(int index);
// Every value and the name of preset `index` (valid), with "Script Index" set to
// scriptIndex: where its script stands in the instance's list (0 when it has none).
void fill(int index, float scriptIndex, ProgramValues& out);
// The program number of an exact preset name; -1 when none has it.
int findByName(std::string_view name);

}  // namespace FactoryPresets
