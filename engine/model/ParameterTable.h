#pragma once
// The process-wide parameter table: 32 controls followed by the 2049 bin levels.
// Values live in the program in their own ("plain") units; hosts see 0..1.
// The table is shared by every instance and never changes. The maximum of "Script Index"
// is 0 here: each instance sets its own once its spectral scripts are known
// (QuanAuBase::parameterRow), so that other instances can never change what its value
// means.

#include "engine/model/ParameterInfo.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kParameterCount = 2081;
constexpr int kBinLevelBase = 32;
constexpr int kBinCount = kParameterCount - kBinLevelBase;

namespace ParameterId {
constexpr int OscPortOffset = 0;
constexpr int DryLevel = 1;
constexpr int WetLevel = 2;
constexpr int FftSize = 3;
constexpr int ViewXAxis = 4;
constexpr int ViewYAxis = 5;
constexpr int ViewMinDb = 6;
constexpr int ViewMaxDb = 7;
constexpr int ViewMinLinear = 8;
constexpr int ViewMaxLinear = 9;
constexpr int ViewSmoothing = 10;
constexpr int InputGain = 11;
constexpr int OutputGain = 12;
constexpr int ScriptIndex = 13;
constexpr int ScriptPosition = 14;
constexpr int Scripted1 = 15;
constexpr int Scripted2 = 16;
constexpr int Scripted3 = 17;
constexpr int Scripted4 = 18;
constexpr int Overlap = 19;
}  // namespace ParameterId

constexpr int kFftSizeCount = 8;
constexpr int kDefaultFftSizeIndex = 5;
constexpr int kOverlapCount = 3;
constexpr float kGainFloorDb = -80.0f;  // "-inf": the gain is exactly zero here

bool isValidParameterId(int id);

// id must be valid.
ParameterInfo parameterInfo(int id);

// Exact table name; -1 when no row has it.
int findParameterByName(std::string_view name);

// The conversions between the host's 0..1 and a row's plain values. The id forms use
// the table's own row.
float normalizedToPlain(const ParameterInfo& row, float normalized);
float plainToNormalized(const ParameterInfo& row, float plain);
float normalizedToPlain(int id, float normalized);
float plainToNormalized(int id, float plain);

// The one rule for a plain value that arrives from outside (host, OSC, scripts, editor,
// state chunks, the renderer): a non-finite value is refused (nullopt), any other is
// clamped into the row's minimum..maximum.
std::optional<float> admittedPlainValue(const ParameterInfo& row, float plain);
// An admitted value as the row stores it: list and beat rows hold whole steps (the
// nearest), every other row the value itself.
float steppedPlainValue(const ParameterInfo& row, float plain);

// The FFT size index a stored "FFT Size" value stands for, clamped to the eight sizes:
// stored values are kept as they are, so every user clamps here.
int fftSizeIndexFromValue(float value);
inline int fftSizeFromIndex(int index) { return 32 << index; }

// "Overlap": frames per frame length, 2 << index ("2x", "4x", "8x"). A stored value is
// clamped here like "FFT Size"'s; anything not a number is "2x", the sound of old states.
int overlapIndexFromValue(float value);
inline int overlapFromIndex(int index) { return 2 << index; }

// The words of a list row whose steps never change, one per step from 0 ("FFT Size":
// "32" to "4096"); empty for every other row ("Script Index" names the instance's scripts).
const std::vector<std::string>& listEntries(int id);

// Label shown next to a value, by unit ("dB", "ms", ...); empty for unitless rows. The
// mix levels' fader unit shows its gain in dB (displayedNumber).
const char* unitLabel(ParameterUnit unit);

// The number a value's text shows, and back. "Dry Level" and "Wet Level" store a fader
// position whose cube is their gain: they show that gain in dB, 20*log10(value^3) =
// 60*log10(value), -inf at 0 and below. Every other row shows its plain value.
float displayedNumber(const ParameterInfo& row, float plain);
// That number as hosts and the editor show it ("-18.06", "-inf"; formatParameterNumber).
std::string displayedNumberText(const ParameterInfo& row, float plain);
// A number in the unit the row shows, as a plain value not yet admitted: dB above 0 give
// a fader position above 1, which admittedPlainValue clamps to the top as it clamps any
// value out of range; -inf dB is 0.
float plainFromDisplayedNumber(const ParameterInfo& row, float displayed);
