#include "engine/instance/QuanTessamire.h"

#include "dsp/CHalvardKernel.h"
#include "dsp/ScopedDenormalFlush.h"
#include "engine/osc/OSCHelper.h"
#include "engine/osc/OscAccessPreferences.h"
#include "platform/PreferenceStore.h"
#include "engine/model/FactoryPresets.h"
#include "engine/model/ParameterTable.h"
#include "engine/model/ProgramValues.h"
#include "engine/model/QuanProgramQNlfv1.h"
#include "engine/vst/AEffEditor.h"
#include "engine/vst/VendorQueries.h"
#include "engine/scripting/SpectralScriptList.h"
#include "engine/instance/HlvdLuaMIDIHelper.h"
#include "engine/scripting/LiveInstances.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr int kChannelCount = 2;
constexpr int kDefaultOscBasePort = 7000;
std::atomic<int> sharedOscBasePort{kDefaultOscBasePort};

float decibelsToGain(float decibels)
{
    return decibels == kGainFloorDb ? 0.0f : std::pow(10.0f, 0.05f * decibels);
}

int scriptIndexFromValue(float value)
{
    // Out-of-range stored values select no script; the runner checks the upper end.
    if (!(value >= 0.0f) || value > 1.0e6f) {
        return 0;
    }
    return static_cast<int>(value);
}

// The answer to QN::vendor::kProgramDescription.
VstIntPtr describeProgram(VstIntPtr program, void* buffer)
{
    if (buffer == nullptr || program < 0 || program >= FactoryPresets::count()) {
        return 0;
    }
    std::snprintf(static_cast<char*>(buffer), QN::vendor::kProgramDescriptionSize, "%s",
                  FactoryPresets::description(static_cast<int>(program)));
    return 1;
}

void postToConsole(void* console, const char* line) { static_cast<QN::ScriptConsole*>(console)->post("audio", line); }

}  // namespace

QuanTessamire::QuanTessamire(AudioMasterCallback audioMaster, EditorFactory makeEditor)
    : QuanTessamire(audioMaster, nullptr, makeEditor)
{
}

QuanTessamire::QuanTessamire(EngineListener& listener, EditorFactory makeEditor)
    : QuanTessamire(nullptr, &listener, makeEditor)
{
}

QuanTessamire::QuanTessamire(AudioMasterCallback audioMaster, EngineListener* listener, EditorFactory makeEditor)
    : QuanAuBase(audioMaster, FactoryPresets::count(), kParameterCount),
      listener_(listener),
      neutralHost_(listener != nullptr)
{
    programs_.push_back(std::make_unique<QuanProgramQNlfv1>());
    programs_.back()->setName("Defaults");

    luaHelper_ = std::make_unique<HlvdLuaMIDIHelper>(this, &messageQueue_, static_cast<QN::ScriptOscBridge*>(this));
    // The audio thread's own reports go through the console's ring, never to a file.
    messageQueue_.setConsole(&luaHelper_->console());
    engine_.setReportLine(postToConsole, &luaHelper_->console());
    // Built before the scripts run, so that they can register OSC addresses.
    oscHelper_ = std::make_unique<QN::OSCHelper>(this, luaHelper_.get());

    setUpDisplayBlock();
    // The factory values come first and the start-up scripts after them, so that what the
    // scripts set is what the instance starts with; the base port is known before a
    // script can open the port.
    factoryPreset_.fillDefaults();
    for (int id = 0; id < kParameterCount; ++id) {
        currentProgram().setParameter(id, factoryPreset_.values[static_cast<std::size_t>(id)]);
    }
    currentProgram().setName(std::strlen(factoryPreset_.name) <= 31 ? factoryPreset_.name : "");
    setInitialDelay(fftSizeFromIndex(kDefaultFftSizeIndex));
    readOscBasePort();
    beginStartUp();
    luaHelper_->start();
    completeScriptList();
    endStartUp();
    engine_.setScriptRunner(&luaHelper_->spectralScripts());

    canProcessReplacing();
    programsAreChunks();
    canMono();
    setNumInputs(kChannelCount);
    setNumOutputs(kChannelCount);
    setUniqueID(fourCharCode('Q', 'N', 'l', 'f'));
    // Hosts show this as the plug-in's version, as they show the vendor version.
    cEffect_.version = kVendorVersion;

    makeKernels(kChannelCount);
    initialize();

    if (makeEditor != nullptr) {
        setEditor(makeEditor(this));
        cEffect_.flags |= effFlagsHasEditor;
    }
    QN::LiveInstances::add(luaHelper_.get());
}

// The editor closes here, on the host's thread; scripts are asked to stop and given a
// moment to leave the Lua state. A script stuck inside one long library call (a pattern
// that backtracks, a slow os.execute) cannot be interrupted: the instance is then freed
// once it returns, and the host does not wait for it.
bool QuanTessamire::prepareToClose(int waitMs)
{
    if (editor_) {
        editor_->close();
    }
    QN::LiveInstances::remove(luaHelper_.get());
    luaHelper_->requestStop();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!luaHelper_->luaLock().try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    luaHelper_->luaLock().unlock();
    return true;
}

// Teardown runs in one order: the editor closes first (its render thread reads the
// members below), then timers, OSC and scripts stop, then everything is freed, the
// editor object before the members it was made for.
QuanTessamire::~QuanTessamire()
{
    if (editor_) {
        editor_->close();
    }
    QN::LiveInstances::remove(luaHelper_.get());
    // Scripts still running on the timer or OSC threads end with an error from here on.
    // Timers and the OSC threads end before anything they reach through the parameter
    // setter (the OSC helper itself, the editor's change queue) goes away.
    luaHelper_->requestStop();
    luaHelper_->stopTimers();
    oscHelper_->Stop();
    delete editor_;
    setEditor(nullptr);
    for (CFString* name : scriptDisplayNames_) {
        name->release();
    }
    scriptDisplayNames_.clear();
    engine_.releaseTransforms();
    // Scripts reach the OSC helper through this instance, under the Lua lock: it leaves
    // under the lock and is freed outside it.
    std::unique_ptr<QN::OSCHelper> osc;
    {
        std::lock_guard<QN::ScriptStateGate> lock(luaHelper_->luaLock());
        osc = std::move(oscHelper_);
    }
    osc.reset();
    luaHelper_.reset();
    programs_.clear();
    kernels_.clear();
}

int QuanTessamire::scriptRegisterPathForParameter(lua_State* L, bool normalized)
{
    return oscHelper_ ? oscHelper_->scriptRegisterPathForParameter(L, normalized) : 0;
}

int QuanTessamire::scriptRegisterPathForFunction(lua_State* L)
{
    return oscHelper_ ? oscHelper_->scriptRegisterPathForFunction(L) : 0;
}

void QuanTessamire::setUpDisplayBlock()
{
    for (int id = ParameterId::ViewXAxis; id <= ParameterId::ViewSmoothing; ++id) {
        applyChangeEffects(id, parameterInfo(id).defaultValue);
    }
    displayBlock_.fftSizeIndex.store(kDefaultFftSizeIndex, std::memory_order_relaxed);
}

void QuanTessamire::completeScriptList()
{
    // With no spectral script, "Script Index" keeps its single "(none)" text and a
    // maximum of 0. Names registered later get no text and do not move the maximum.
    const std::vector<std::string> names = luaHelper_->spectralScripts().completeAfterStartup();
    if (names.empty()) {
        return;
    }
    setScriptIndexMaximum(static_cast<float>(names.size() - 1));
    for (const std::string& name : names) {
        scriptDisplayNames_.push_back(CFString::create(name));
    }
}

float QuanTessamire::parameterValue(int id) { return isValidParameterId(id) ? plainValue(id) : 0.0f; }

bool QuanTessamire::setPlainParameter(int id, float plain) { return setParameterFromPlain(id, plain, true); }

void QuanTessamire::setIndicator(int id, bool flag)
{
    if (id >= 0 && id < 8) {
        displayBlock_.indicators[id].store(flag ? 1 : 0, std::memory_order_relaxed);
    }
}

bool QuanTessamire::indicator(int id)
{
    return id >= 0 && id < 8 && displayBlock_.indicators[id].load(std::memory_order_relaxed) != 0;
}

void QuanTessamire::initialize()
{
    engine_.block() = BlockParameters{};
    QN::OscAccessPreferences::load();
    oscHelper_->Start();
    engine_.makeTransforms();
}

void QuanTessamire::readOscBasePort()
{
    sharedOscBasePort.store(platform::readPreferenceInt("OSC Base Port", kDefaultOscBasePort),
                            std::memory_order_relaxed);
}

// The host knows the instance from here on: it hears the values start-up scripts set.
void QuanTessamire::open() { reportStartUpValues(); }

void QuanTessamire::cleanup() { oscHelper_->Stop(); }

int QuanTessamire::oscBasePort() { return sharedOscBasePort.load(std::memory_order_relaxed); }

void QuanTessamire::setOscBasePort(int port) { sharedOscBasePort.store(port, std::memory_order_relaxed); }

AUKernelBase* QuanTessamire::createKernel()
{
    return new CHalvardKernel(engine_, static_cast<int>(kernels_.size()));
}

QN::ScriptConsole& QuanTessamire::scriptConsole() { return luaHelper_->console(); }

void QuanTessamire::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (inputs == nullptr || outputs == nullptr || sampleFrames < 0) {
        return;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (inputs[c] == nullptr || outputs[c] == nullptr) {
            return;
        }
    }
    ScopedDenormalFlush flushDenormals;
    if (resetPending_.exchange(false, std::memory_order_acq_rel)) {
        clearHistory();
    }
    blockInputs_ = inputs;
    blockOutputs_ = outputs;
    QN::renderBlockWithMessages(messageQueue_, sampleFrames, *this, *luaHelper_);
    luaHelper_->endAudioBlock();
    engine_.reportNonFinite(sampleFrames);
    updateMeters(sampleFrames);
}

void QuanTessamire::requestReset()
{
    messageQueue_.markForDiscard();
    resetPending_.store(true, std::memory_order_release);
}

void QuanTessamire::clearHistory()
{
    for (auto& kernel : kernels_) {
        kernel->reset();
    }
    messageQueue_.discardMarked();
    for (int c = 0; c < 2; ++c) {
        displayBlock_.inputMeter[c].store(0.0f, std::memory_order_relaxed);
        displayBlock_.outputMeter[c].store(0.0f, std::memory_order_relaxed);
    }
}

void QuanTessamire::renderChunk(int offset, int frames)
{
    takeBlockParameters();
    for (std::size_t c = 0; c < kernels_.size(); ++c) {
        kernels_[c]->process(blockInputs_[c] + offset, blockOutputs_[c] + offset, frames);
    }
}

void QuanTessamire::takeBlockParameters()
{
    const QuanProgram& program = currentProgram();
    BlockParameters& block = engine_.block();
    block.sizeIndex = fftSizeIndexFromValue(program.getParameter(ParameterId::FftSize));
    block.fftSize = fftSizeFromIndex(block.sizeIndex);
    block.overlap = overlapFromIndex(overlapIndexFromValue(program.getParameter(ParameterId::Overlap)));
    block.scriptBefore = program.getParameter(ParameterId::ScriptPosition) != 0.0f;
    block.scriptIndex = scriptIndexFromValue(program.getParameter(ParameterId::ScriptIndex));
    const auto& storage = static_cast<const QuanProgramQNlfv1&>(program);
    block.levels = storage.binLevels();
    block.levelsGeneration = &storage.levelsGeneration();
    const float dry = program.getParameter(ParameterId::DryLevel);
    const float wet = program.getParameter(ParameterId::WetLevel);
    block.dryGain = dry * dry * dry;
    block.wetGain = wet * wet * wet;
    block.inputGain = decibelsToGain(program.getParameter(ParameterId::InputGain));
    block.outputGain = decibelsToGain(program.getParameter(ParameterId::OutputGain));
    block.displayed = displayBlock_.viewers.load(std::memory_order_relaxed) > 0;
}

void QuanTessamire::updateMeters(int frames)
{
    const float c = std::exp(-static_cast<float>(frames) / (0.03f * sampleRate_));
    for (std::size_t i = 0; i < kernels_.size() && i < 2; ++i) {
        const auto& kernel = static_cast<const CHalvardKernel&>(*kernels_[i]);
        const float inPeak = kernel.inputPeak();
        const float outPeak = kernel.outputPeak();
        auto& inMeter = displayBlock_.inputMeter[i];
        auto& outMeter = displayBlock_.outputMeter[i];
        inMeter.store((inMeter.load(std::memory_order_relaxed) - inPeak) * c + inPeak, std::memory_order_relaxed);
        outMeter.store((outMeter.load(std::memory_order_relaxed) - outPeak) * c + outPeak, std::memory_order_relaxed);
        displayBlock_.analysisSpectrum[i].store(kernel.analysisSpectrum(), std::memory_order_release);
        displayBlock_.workingSpectrum[i].store(kernel.workingSpectrum(), std::memory_order_release);
    }
    displayBlock_.fftSizeIndex.store(engine_.block().sizeIndex, std::memory_order_relaxed);
}

VstInt32 QuanTessamire::processEvents(VstEvents* events) { return messageQueue_.Write(events); }

void QuanTessamire::resume()
{
    if ((cEffect_.flags & effFlagsIsSynth) || canDo("receiveVstMidiEvent") == 1) {
        wantEvents(1);
    }
    requestReset();
}

void QuanTessamire::setSampleRate(float sampleRate)
{
    // A rate of zero, a negative or a non-finite one would poison the meter smoothing.
    if (std::isfinite(sampleRate) && sampleRate > 0.0f) {
        AudioEffect::setSampleRate(sampleRate);
    }
}

// Selecting the program already selected changes nothing: hosts select program 0 as they
// open an instance, after its start-up scripts have set their values.
void QuanTessamire::setProgram(VstInt32 program)
{
    if (program != curProgram_) {
        loadFactoryPreset(program);
    }
}

// A restored state is the program whose name it carries, or "Defaults": a host that
// selects the saved program number after restoring the state then changes nothing, where
// loading the factory values over the restored ones would lose the user's setting.
VstInt32 QuanTessamire::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    const VstInt32 loaded = QuanAuBase::setChunk(data, byteSize, isPreset);
    if (loaded != 0) {
        curProgram_ = std::max(0, FactoryPresets::findByName(currentProgram().getName()));
    }
    return loaded;
}

bool QuanTessamire::loadFactoryPreset(int index)
{
    if (!FactoryPresets::isValidIndex(index) || index >= numPrograms_) {
        return false;
    }
    ProgramValues content;
    FactoryPresets::fill(index, presetScriptIndex(index), content);
    curProgram_ = index;
    for (int id = 0; id < kParameterCount; ++id) {
        // Where this instance listens for OSC is the user's set-up, not part of a sound:
        // a preset leaves the port as it is.
        if (id == ParameterId::OscPortOffset) continue;
        const float value = content.values[static_cast<std::size_t>(id)];
        if (value != plainValue(id)) {
            setParameterFromPlain(id, value, true);
        }
    }
    currentProgram().setName(content.name.data());
    return true;
}

float QuanTessamire::presetScriptIndex(int preset) const
{
    const char* wanted = FactoryPresets::scriptName(preset);
    if (wanted == nullptr) {
        return 0.0f;
    }
    for (std::size_t i = 0; i < scriptDisplayNames_.size(); ++i) {
        if (scriptDisplayNames_[i]->text() == wanted) {
            return static_cast<float>(i);
        }
    }
    std::printf("Lumenfold: preset \"%s\" uses the spectral script \"%s\", which this instance does not have; "
                "no script selected\n",
                FactoryPresets::name(preset), wanted);
    std::fflush(stdout);
    return 0.0f;
}

bool QuanTessamire::getEffectName(char* name)
{
    std::strcpy(name, "Lumenfold");
    return true;
}

bool QuanTessamire::getVendorString(char* text)
{
    std::strcpy(text, "Corvanne");
    return true;
}

bool QuanTessamire::getProductString(char* text)
{
    std::strcpy(text, "Lumenfold");
    return true;
}

VstInt32 QuanTessamire::canDo(const char* text)
{
    return std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1 : 0;
}

VstIntPtr QuanTessamire::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float /*opt*/)
{
    if (index == QN::vendor::kProgramDescription) {
        return describeProgram(value, ptr);
    }
    if (index != QN::vendor::kSpectralScriptFrames || !luaHelper_) {
        return 0;
    }
    const SpectralScriptList& scripts = luaHelper_->spectralScripts();
    const std::uint64_t frames = value == QN::vendor::kFramesRun      ? scripts.framesRun()
                                 : value == QN::vendor::kFramesFailed ? scripts.framesFailed()
                                                                      : 0;
    return static_cast<VstIntPtr>(frames);
}

OSStatus QuanTessamire::getParameterValueStrings(std::uint32_t scope, int id, CFArray** outStrings)
{
    if (scope != kScopeGlobal || id != ParameterId::ScriptIndex) {
        return QuanAuBase::getParameterValueStrings(scope, id, outStrings);
    }
    if (outStrings == nullptr) {
        return kNoErr;
    }
    CFArray* list = CFArray::create();
    if (scriptDisplayNames_.empty()) {
        CFString* none = CFString::create("(none)");
        list->append(none);
        none->release();
    }
    for (CFString* name : scriptDisplayNames_) {
        list->append(name);
    }
    *outStrings = list;
    return kNoErr;
}

void QuanTessamire::applyPortOffset(float offset)
{
    if (offset != 0.0f && std::isfinite(offset)) {
        oscHelper_->Listen(oscBasePort() + static_cast<int>(offset));
    } else {
        oscHelper_->StopListening();
    }
}

void QuanTessamire::applyChangeEffects(int id, float plainValue)
{
    switch (id) {
    case ParameterId::OscPortOffset: applyPortOffset(plainValue); break;
    case ParameterId::FftSize: updateLatency(); break;
    case ParameterId::ViewXAxis: displayBlock_.frequencyAxisLog.store(plainValue == 0.0f); break;
    case ParameterId::ViewYAxis: displayBlock_.levelAxisLog.store(plainValue == 0.0f); break;
    case ParameterId::ViewMinDb: displayBlock_.viewMinDb.store(plainValue); break;
    case ParameterId::ViewMaxDb: displayBlock_.viewMaxDb.store(plainValue); break;
    case ParameterId::ViewMinLinear: displayBlock_.viewMinLinear.store(plainValue); break;
    case ParameterId::ViewMaxLinear: displayBlock_.viewMaxLinear.store(plainValue); break;
    case ParameterId::ViewSmoothing: displayBlock_.viewSmoothing.store(plainValue); break;
    default: break;
    }
    if (oscHelper_) {
        oscHelper_->parameterChanged(id, plainValue);
    }
}
