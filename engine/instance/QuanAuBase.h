#pragma once
// The parameter, program and kernel model on top of the host binding: plain values in
// the current program, the host's 0..1 view of them, their texts, the value-string
// query the editor uses, and one kernel per output channel.

#include "engine/model/CFArray.h"
#include "engine/model/ParameterTable.h"
#include "engine/model/StatusCodes.h"
#include "engine/vst/AudioEffectX.h"

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AUKernelBase;
class ValueText;
class QuanProgram;
struct ProgramValues;
struct DisplayBlock;

class QuanAuBase : public AudioEffectX {
public:
    QuanAuBase(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~QuanAuBase() override;

    // Host parameter calls, on any thread. Ids outside the table and non-finite values
    // are ignored, values outside 0..1 are clamped; getParameter of such an id is 0.
    void setParameter(VstInt32 id, float normalized) override;
    float getParameter(VstInt32 id) override;
    void getParameterName(VstInt32 id, char* text) override;
    void getParameterLabel(VstInt32 id, char* text) override;
    void getParameterDisplay(VstInt32 id, char* text) override;

    // The door every plain value from outside the host's setParameter passes (OSC,
    // scripts, the editor): false, and nothing changes, for an id outside the table or a
    // value that is not finite; otherwise the value is clamped to its row's range, stored
    // like a host change and, when automate is set, reported to the host (within 0..1).
    bool setParameterFromPlain(int id, float plainValue, bool automate);
    float plainValue(int id) const;
    // The table's row as this instance uses it: with its own "Script Index" maximum.
    ParameterInfo parameterRow(int id) const;
    // The three below are ValueText's, with this instance's row and lists.
    // The display text any plain value of a valid id would have (getParameterDisplay shows
    // the current value's): the word of a list row, a word such as "Off", or the number in
    // the unit the row shows (displayedNumber: the mix levels in dB).
    std::string displayTextOf(int id, float value);
    // The same with its unit label, as hosts show the two side by side ("-18.06 dB",
    // "1024", "Off": words take no label). Empty for an id outside the table.
    std::string labelledDisplayTextOf(int id, float value);
    // A typed text back to a plain value in range: any text the display shows, with or
    // without its label; numbers in the unit the row shows (dB for the mix levels); list
    // entries, "On", "Off" and "-inf". nullopt, and nothing changes, when it is none of
    // these. Not on the audio thread (it allocates).
    std::optional<float> plainFromText(int id, std::string_view typed);
    // A VST host's text entry: the text read as plainFromText reads it and stored like a
    // host change. A null text asks whether the parameter takes text (every one does).
    bool string2parameter(VstInt32 id, char* text) override;

    VstInt32 getProgram() override { return curProgram_; }
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset) override;
    // Refuses (0, one line, nothing changed) a chunk that is not a whole state of ours;
    // corrects values out of range, non-finite values and an unreadable name with a line
    // each, then applies it as if every changed value had been set one by one.
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    virtual AUKernelBase* createKernel() = 0;
    virtual OSStatus getParameterValueStrings(std::uint32_t scope, int id, CFArray** outStrings);
    virtual DisplayBlock* displayBlock() = 0;

    // The one block: program numbers select factory presets that load into it.
    QuanProgram& currentProgram() { return *programs_.front(); }
    const QuanProgram& currentProgram() const { return *programs_.front(); }

protected:
    // What a stored change sets off besides the editor (port, latency, display block,
    // OSC notification). Called on the thread that changed the value.
    virtual void applyChangeEffects(int id, float plainValue);
    // Latency follows "FFT Size": tells the host when it changed.
    void updateLatency();
    void makeKernels(int count);
    // Stores a value already in the row's range and sets off the editor and the change effects.
    void storePlainValue(int id, float plain);
    // Fixed once, when the instance's spectral scripts are known (host thread), so the
    // value a host stored keeps meaning the same script for the instance's life.
    void setScriptIndexMaximum(float maximum);

    // While the instance is being built, values that start-up scripts set are stored but
    // the host, which does not know the instance yet, is not called: the changed ids are
    // kept and reportStartUpValues() tells the host their final values once it has opened
    // the instance. "Script Index" waits for the script list: endStartUp applies it.
    void beginStartUp();
    void endStartUp();
    void reportStartUpValues();

    std::vector<std::unique_ptr<QuanProgram>> programs_;
    std::vector<std::unique_ptr<AUKernelBase>> kernels_;

private:
    std::string displayText(int id);
    // The value texts of a valid id as this instance shows them: its own row and lists.
    ValueText valueTextOf(int id);
    std::vector<std::string> reportedEntries(int id);
    void correctLoadedValues(ProgramValues& content) const;
    void applyLoadedValues(const std::array<float, kParameterCount>& before);

    std::atomic<float> scriptIndexMaximum_{0.0f};
    bool startingUp_ = false;
    std::vector<bool> setDuringStartUp_;
    std::optional<float> startUpScriptIndex_;
};
