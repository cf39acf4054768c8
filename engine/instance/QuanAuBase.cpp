#include "engine/instance/QuanAuBase.h"

#include "dsp/AUKernelBase.h"
#include "engine/model/FactoryPresets.h"
#include "engine/model/ParameterTable.h"
#include "engine/model/ProgramValues.h"
#include "engine/model/QuanProgram.h"
#include "engine/model/ValueFormatting.h"
#include "engine/model/ValueText.h"
#include "engine/vst/AEffEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kMaxDisplayChars = 23;
// The longest text a host's entry is read to: no value's text comes near it.
constexpr std::size_t kMaxTypedChars = 255;
constexpr std::size_t kMaxNameChars = 15;
constexpr std::size_t kMaxProgramNameChars = 31;
// A chunk of random bytes behind a valid header could correct every value: beyond this
// many lines one summary says how many more there were.
constexpr int kMaxCorrectionLines = 16;
const char* const kReplacementProgramName = "Untitled";

void reportCorrection(int& count, const char* name, float stored, float corrected, const char* how)
{
    if (++count <= kMaxCorrectionLines) {
        std::printf("Lumenfold: state value \"%s\" %s %s %s\n", name, formatParameterNumber(stored).c_str(), how,
                    formatParameterNumber(corrected).c_str());
    }
}

CFArray* makeList(const std::vector<std::string>& texts)
{
    CFArray* list = CFArray::create();
    for (const std::string& text : texts) {
        CFString* string = CFString::create(text);
        list->append(string);
        string->release();
    }
    return list;
}

// Made once per process on first use and never freed; callers get their own reference.
CFArray* sharedValueStrings(int id)
{
    static CFArray* const fftSizes = makeList(listEntries(ParameterId::FftSize));
    static CFArray* const axes = makeList(listEntries(ParameterId::ViewXAxis));
    static CFArray* const positions = makeList(listEntries(ParameterId::ScriptPosition));
    static CFArray* const overlaps = makeList(listEntries(ParameterId::Overlap));
    switch (id) {
    case ParameterId::FftSize: return fftSizes;
    case ParameterId::ViewXAxis:
    case ParameterId::ViewYAxis: return axes;
    case ParameterId::ScriptPosition: return positions;
    case ParameterId::Overlap: return overlaps;
    default: return nullptr;
    }
}

}  // namespace

QuanAuBase::QuanAuBase(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffectX(audioMaster, numPrograms, numParams)
{
}

QuanAuBase::~QuanAuBase() = default;

void QuanAuBase::makeKernels(int count)
{
    for (int i = 0; i < count; ++i) {
        kernels_.emplace_back(createKernel());
    }
}

void QuanAuBase::setParameter(VstInt32 id, float normalized)
{
    if (!isValidParameterId(id) || !std::isfinite(normalized)) {
        return;
    }
    storePlainValue(id, normalizedToPlain(parameterRow(id), std::clamp(normalized, 0.0f, 1.0f)));
}

void QuanAuBase::storePlainValue(int id, float plain)
{
    currentProgram().setParameter(id, plain);
    if (editor_) {
        editor_->parameterChanged(id, plain);
    }
    applyChangeEffects(id, plain);
}

float QuanAuBase::getParameter(VstInt32 id)
{
    if (!isValidParameterId(id)) {
        return 0.0f;
    }
    const float normalized = plainToNormalized(parameterRow(id), currentProgram().getParameter(id));
    return std::isfinite(normalized) ? std::clamp(normalized, 0.0f, 1.0f) : 0.0f;
}

ParameterInfo QuanAuBase::parameterRow(int id) const
{
    ParameterInfo row = parameterInfo(id);
    if (id == ParameterId::ScriptIndex) {
        row.maxValue = scriptIndexMaximum_.load(std::memory_order_relaxed);
    }
    return row;
}

void QuanAuBase::setScriptIndexMaximum(float maximum)
{
    scriptIndexMaximum_.store(maximum, std::memory_order_relaxed);
}

float QuanAuBase::plainValue(int id) const { return currentProgram().getParameter(id); }

bool QuanAuBase::setParameterFromPlain(int id, float plainValue, bool automate)
{
    if (!isValidParameterId(id)) {
        return false;
    }
    if (startingUp_ && id == ParameterId::ScriptIndex) {
        if (!std::isfinite(plainValue)) {
            return false;
        }
        startUpScriptIndex_ = std::max(plainValue, 0.0f);  // its range is not known yet
        return true;
    }
    const ParameterInfo row = parameterRow(id);
    const std::optional<float> admitted = admittedPlainValue(row, plainValue);
    if (!admitted) {
        return false;
    }
    // Stored as given: a plain value never passes through the host's 0..1 on its way in.
    const float stored = steppedPlainValue(row, *admitted);
    storePlainValue(id, stored);
    if (automate && startingUp_) {
        setDuringStartUp_[static_cast<std::size_t>(id)] = true;
    } else if (automate) {
        callHost(audioMasterAutomate, id, 0, nullptr, std::clamp(plainToNormalized(row, stored), 0.0f, 1.0f));
    }
    return true;
}

void QuanAuBase::beginStartUp()
{
    startingUp_ = true;
    setDuringStartUp_.assign(kParameterCount, false);
}

void QuanAuBase::endStartUp()
{
    startingUp_ = false;
    if (startUpScriptIndex_) {
        setParameterFromPlain(ParameterId::ScriptIndex, *startUpScriptIndex_, false);
        setDuringStartUp_[ParameterId::ScriptIndex] = true;
        startUpScriptIndex_.reset();
    }
}

void QuanAuBase::reportStartUpValues()
{
    for (std::size_t id = 0; id < setDuringStartUp_.size(); ++id) {
        if (setDuringStartUp_[id]) {
            callHost(audioMasterAutomate, static_cast<VstInt32>(id), 0, nullptr, getParameter(static_cast<VstInt32>(id)));
        }
    }
    setDuringStartUp_.clear();
}

void QuanAuBase::applyChangeEffects(int id, float)
{
    if (id == ParameterId::FftSize) {
        updateLatency();
    }
}

void QuanAuBase::updateLatency()
{
    const int delay = fftSizeFromIndex(fftSizeIndexFromValue(plainValue(ParameterId::FftSize)));
    if (delay != cEffect_.initialDelay) {
        setInitialDelay(delay);
        if (!startingUp_) {
            ioChanged();
        }
    }
}

void QuanAuBase::getParameterName(VstInt32 id, char* text)
{
    copyText(text, isValidParameterId(id) ? parameterInfo(id).name : "", kMaxNameChars);
}

void QuanAuBase::getParameterLabel(VstInt32 id, char* text)
{
    copyText(text, isValidParameterId(id) ? unitLabel(parameterInfo(id).unit) : "", kMaxDisplayChars);
}

void QuanAuBase::getParameterDisplay(VstInt32 id, char* text)
{
    copyText(text, isValidParameterId(id) ? displayText(id) : std::string(), kMaxDisplayChars);
}

std::string QuanAuBase::displayText(int id) { return displayTextOf(id, plainValue(id)); }

std::string QuanAuBase::displayTextOf(int id, float value) { return valueTextOf(id).text(value); }

std::string QuanAuBase::labelledDisplayTextOf(int id, float value)
{
    return isValidParameterId(id) ? valueTextOf(id).labelledText(value) : std::string();
}

std::optional<float> QuanAuBase::plainFromText(int id, std::string_view typed)
{
    if (!isValidParameterId(id)) {
        return std::nullopt;
    }
    return valueTextOf(id).plainFromText(typed);
}

bool QuanAuBase::string2parameter(VstInt32 id, char* text)
{
    if (!isValidParameterId(id)) {
        std::fprintf(stderr, "Lumenfold: VST text for parameter %d refused: no such parameter\n", static_cast<int>(id));
        return false;
    }
    if (text == nullptr) {
        return true;
    }
    const std::optional<float> plain = plainFromText(id, std::string_view(text, strnlen(text, kMaxTypedChars)));
    if (!plain) {
        // The typed text itself is not echoed: it may hold anything.
        std::fprintf(stderr, "Lumenfold: VST text for \"%s\" refused: not one of its values\n", parameterInfo(id).name);
        return false;
    }
    return setParameterFromPlain(id, *plain, false);
}

ValueText QuanAuBase::valueTextOf(int id)
{
    return ValueText(id, parameterRow(id), reportedEntries(id));
}

// The list this instance reports to hosts for a list row, which its texts show: the
// script names of "Script Index" are known only here.
std::vector<std::string> QuanAuBase::reportedEntries(int id)
{
    std::vector<std::string> entries;
    CFArrayHolder list;
    if (parameterInfo(id).unit != ParameterUnit::Indexed ||
        getParameterValueStrings(kScopeGlobal, id, list.out()) != kNoErr || !list.get()) {
        return entries;
    }
    for (int i = 0; i < list.get()->count(); ++i) {
        entries.push_back(list.get()->at(i)->text());
    }
    return entries;
}

OSStatus QuanAuBase::getParameterValueStrings(std::uint32_t scope, int id, CFArray** outStrings)
{
    if (scope != kScopeGlobal) {
        return kErrInvalidParameter;
    }
    if (outStrings == nullptr) {
        return kNoErr;
    }
    CFArray* list = sharedValueStrings(id);
    if (list == nullptr) {
        return kErrInvalidParameter;
    }
    list->retain();
    *outStrings = list;
    return kNoErr;
}

void QuanAuBase::setProgramName(const char* name) { currentProgram().setName(name); }

void QuanAuBase::getProgramName(char* name)
{
    copyText(name, currentProgram().getName(), kMaxProgramNameChars);
}

bool QuanAuBase::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index < 0 || index >= numPrograms_ || !FactoryPresets::isValidIndex(index)) {
        return false;
    }
    // The selected program shows the block's name, which a host or the user may have changed.
    copyText(text, index == curProgram_ ? currentProgram().getName() : FactoryPresets::name(index),
             kMaxProgramNameChars);
    return true;
}

VstInt32 QuanAuBase::getChunk(void** data, bool)
{
    *data = currentProgram().getData();
    return static_cast<VstInt32>(currentProgram().getSize());
}

VstInt32 QuanAuBase::setChunk(void* data, VstInt32 byteSize, bool)
{
    const std::size_t size = byteSize < 0 ? 0 : static_cast<std::size_t>(byteSize);
    ProgramValues content;
    if (const char* refused = currentProgram().decodeChunk(data, size, content)) {
        std::printf("Lumenfold: state not loaded (%zu bytes): %s\n", size, refused);
        std::fflush(stdout);
        return 0;
    }
    correctLoadedValues(content);
    std::array<float, kParameterCount> before{};
    for (int id = 0; id < kParameterCount; ++id) {
        before[static_cast<std::size_t>(id)] = plainValue(id);
    }
    currentProgram().load(content);
    applyLoadedValues(before);
    return 1;
}

// The same rule as every other door, except that a value that is not finite takes its
// default: a state must load whole.
void QuanAuBase::correctLoadedValues(ProgramValues& content) const
{
    int corrections = 0;
    for (int id = 0; id < kParameterCount; ++id) {
        float& value = content.values[static_cast<std::size_t>(id)];
        const ParameterInfo row = parameterRow(id);
        const std::optional<float> admitted = admittedPlainValue(row, value);
        if (!admitted) {
            reportCorrection(corrections, row.name, value, row.defaultValue, "replaced by its default");
            value = row.defaultValue;
        } else if (*admitted != value) {
            reportCorrection(corrections, row.name, value, *admitted, "clamped to");
            value = *admitted;
        }
    }
    if (corrections > kMaxCorrectionLines) {
        std::printf("Lumenfold: state had %d more values out of range\n", corrections - kMaxCorrectionLines);
    }
    if (!isPrintableText(content.name.data())) {
        std::printf("Lumenfold: state program name is not readable text; named \"%s\"\n", kReplacementProgramName);
        content.name.fill('\0');
        std::strcpy(content.name.data(), kReplacementProgramName);
    }
    std::fflush(stdout);
}

// What setting each changed value one by one would have done: the editor and OSC peers
// hear of it, the port opens, moves or closes, the latency follows "FFT Size".
void QuanAuBase::applyLoadedValues(const std::array<float, kParameterCount>& before)
{
    for (int id = 0; id < kParameterCount; ++id) {
        const float value = plainValue(id);
        if (std::memcmp(&value, &before[static_cast<std::size_t>(id)], sizeof(float)) == 0) {
            continue;
        }
        if (editor_) {
            editor_->parameterChanged(id, value);
        }
        applyChangeEffects(id, value);
    }
    updateLatency();
}
