#pragma once
// The plug-in object: owns everything of one instance (program, kernels, transforms and
// windows, MIDI queue, scripting and OSC helpers, display block, editor) and builds and
// tears them down in a fixed order.

#include "dsp/SpectralEngine.h"
#include "engine/model/DisplayBlock.h"
#include "engine/model/FactoryPreset.h"
#include "engine/instance/EditorFactory.h"
#include "engine/instance/PluginEngine.h"
#include "engine/instance/QuanAuBase.h"
#include "engine/scripting/BlockRenderer.h"
#include "engine/scripting/MessageQueue.h"
#include "engine/scripting/PluginServices.h"
#include "engine/scripting/ScriptOscBridge.h"
#include "Version.h"

#include <atomic>
#include <memory>
#include <vector>

namespace QN {
class OSCHelper;
class ScriptConsole;
}  // namespace QN
class EngineListener;
class HlvdLuaMIDIHelper;

class QuanTessamire : public QuanAuBase,
                      public PluginEngine,
                      public QN::PluginServices,
                      private QN::ChunkRenderer,
                      private QN::ScriptOscBridge {
public:
    static constexpr int kVendorVersion = QN::version::kVendorNumber;

    // For a VST host: its callback, and the editor's factory (none: no editor).
    explicit QuanTessamire(AudioMasterCallback audioMaster, EditorFactory makeEditor = nullptr);
    // For the other bindings: what the host should hear arrives at listener.
    QuanTessamire(EngineListener& listener, EditorFactory makeEditor);
    ~QuanTessamire() override;

    // Host binding.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;
    // Asks for events and starts the next block from silence (see requestReset).
    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setProgram(VstInt32 program) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return versionNumber(); }
    VstInt32 canDo(const char* text) override;
    // Our tools' questions (engine/vst/VendorQueries.h); 0 for any other.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    // The format-neutral engine (PluginEngine), for the bindings other than VST.
    void start() override { open(); }
    void configure(double sampleRate, int maxBlockFrames) override;
    void setProcessing(bool on) override;
    void reset() override { requestReset(); }
    [[nodiscard]] int latencySamples() const override;
    void process(const float* const* inputs, float* const* outputs, int frames, EngineEventSource& events) override;
    bool setPlainValue(int id, double plain) override;
    [[nodiscard]] float plainValue(int id) const override;
    [[nodiscard]] std::string valueText(int id, float plain) override { return labelledDisplayTextOf(id, plain); }
    [[nodiscard]] std::optional<float> parseValueText(int id, std::string_view text) override
    {
        return plainFromText(id, text);
    }
    [[nodiscard]] std::size_t saveState(const void** data) override;
    bool loadState(const void* data, std::size_t size) override;
    bool loadFactoryPreset(int index) override;
    bool editorSize(int* width, int* height) override;
    bool openEditor(unsigned long parent) override;
    void closeEditor() override;
    void idleEditor() override;
    void release() override;

    // Model.
    AUKernelBase* createKernel() override;
    OSStatus getParameterValueStrings(std::uint32_t scope, int id, CFArray** outStrings) override;
    DisplayBlock* displayBlock() override { return &displayBlock_; }

    // Called on: any thread (a host's resume, a CLAP reset on the audio thread). The next
    // block starts as a fresh instance's first block would: frames, overlap tails, the dry
    // delay and the meters are cleared and the MIDI queued so far is dropped. Parameter
    // values, the scripts' Lua state and OSC are left alone. The clearing itself runs on
    // the audio thread at the start of that block, so it never races with processing.
    void requestReset();

    bool prepareToClose(int waitMs) override;
    void open() override;
    virtual void initialize();
    virtual void cleanup();
    virtual int versionNumber() const { return kVendorVersion; }

    // What scripts, OSC and the editor may ask of the instance (any thread).
    float parameterValue(int id) override;
    bool setPlainParameter(int id, float plain) override;
    ParameterInfo parameterRow(int id) const override { return QuanAuBase::parameterRow(id); }
    std::string parameterText(int id) override { return labelledDisplayTextOf(id, parameterValue(id)); }
    float sampleRate() override { return getSampleRate(); }
    void setIndicator(int id, bool flag) override;
    bool indicator(int id) override;
    // What this instance's scripts printed and the errors they raised (the editor's console).
    QN::ScriptConsole& scriptConsole();

    // The "OSC Base Port" preference, shared by every instance (the last one read wins).
    static int oscBasePort();
    // Replaces it for every instance of the process (the editor's preferences); each
    // server moves when its "OSC Port Offset" is next applied. Called on: host GUI thread.
    static void setOscBasePort(int port);

protected:
    void applyChangeEffects(int id, float plainValue) override;
    VstIntPtr sendToHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

private:
    QuanTessamire(AudioMasterCallback audioMaster, EngineListener* listener, EditorFactory makeEditor);
    void renderChunk(int offset, int frames) override;
    // One piece of a neutral block: the MIDI queued for it, then its audio.
    void renderPiece(const float* const* inputs, float* const* outputs, std::uint32_t from, std::uint32_t to,
                     bool midiQueued);
    // The scripts' OSC functions, given to the scripting helper when it is made (before
    // the OSC helper exists): they go to the OSC helper while it exists.
    int scriptRegisterPathForParameter(lua_State* L, bool normalized) override;
    int scriptRegisterPathForFunction(lua_State* L) override;
    void takeBlockParameters();
    void clearHistory();
    void updateMeters(int frames);
    void setUpDisplayBlock();
    void completeScriptList();
    // Where the spectral script a factory preset names stands in this instance's list; 0
    // (no script), with one line, when the list does not have it.
    float presetScriptIndex(int preset) const;
    void applyPortOffset(float offset);
    static void readOscBasePort();

    float** blockInputs_ = nullptr;
    float** blockOutputs_ = nullptr;
    QN::MessageQueue messageQueue_;
    std::unique_ptr<HlvdLuaMIDIHelper> luaHelper_;
    std::unique_ptr<QN::OSCHelper> oscHelper_;
    SpectralEngine engine_;
    DisplayBlock displayBlock_;
    FactoryPreset factoryPreset_;
    std::vector<CFString*> scriptDisplayNames_;
    std::atomic<bool> resetPending_{false};
    // The other bindings' host; cleared when the instance is released, so a late call from
    // a lingering thread reaches no binding. Null for a VST host.
    std::atomic<EngineListener*> listener_{nullptr};
    const bool neutralHost_;
    bool editorOpen_ = false;
};
