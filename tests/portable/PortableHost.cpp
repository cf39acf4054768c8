// A minimal host for the portable plug-in files, run inside a root file system that holds
// only libc, libm, X11 and GL:
//
//   lumenfold-portable-host vst|clap|lv2 PLUGIN_FILE
//
// It loads the file, selects the first spectral script ("Script Index" 1), runs one
// second of a stereo 48 kHz tone through it, checks that the output is finite and not
// silent, and takes the state, gives it back and checks the plug-in reports the same
// state again. Exit status 0 when all of that holds; otherwise one line on standard error
// says what failed. It needs no library besides libc and libm (its C++ runtime is linked
// in), so it runs wherever the plug-in files must.

#include "formats/clap/ClapAbi.h"
#include "engine/abi/Vst2Abi.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kSampleRate = 48000.0;
constexpr std::uint32_t kBlock = 512;
constexpr std::uint32_t kSeconds = 1;
constexpr int kScriptIndexParameter = 13;
constexpr float kSilence = 1.0e-4f;

using State = std::vector<std::uint8_t>;

bool fail(const std::string& what) {
    std::fprintf(stderr, "lumenfold-portable-host: %s\n", what.c_str());
    return false;
}

// Feeds the tone block by block to process(in, out, frames) and checks what comes out.
template <typename Process>
bool runTone(Process process) {
    std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    float peak = 0.0f;
    std::uint64_t frame = 0;
    for (std::uint32_t block = 0; block < kSeconds * kSampleRate / kBlock; ++block) {
        for (std::uint32_t i = 0; i < kBlock; ++i, ++frame) {
            const float tone = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * frame / kSampleRate));
            in[0][i] = tone;
            in[1][i] = -tone;
        }
        process(inputs, outputs, kBlock);
        for (const auto& channel : out) {
            for (float sample : channel) {
                if (!std::isfinite(sample)) return fail("the output holds a value that is not finite");
                peak = std::fmax(peak, std::fabs(sample));
            }
        }
    }
    if (peak < kSilence) return fail("the output is silent");
    return true;
}

bool sameState(const State& first, const State& second) {
    if (first.empty()) return fail("the plug-in gave an empty state");
    if (first != second) return fail("the state given back does not come back the same");
    return true;
}

// VST 2.4 ----------------------------------------------------------------------------

VstIntPtr vstHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return static_cast<VstIntPtr>(kSampleRate);
    if (opcode == audioMasterGetBlockSize) return kBlock;
    return 0;
}

State vstState(AEffect* effect) {
    void* data = nullptr;
    const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
    if (data == nullptr || size <= 0) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return State(bytes, bytes + size);
}

bool runVst(void* library) {
    using Entry = AEffect* (*)(AudioMasterCallback);
    auto entry = reinterpret_cast<Entry>(::dlsym(library, "VSTPluginMain"));
    AEffect* effect = entry != nullptr ? entry(vstHost) : nullptr;
    if (effect == nullptr || effect->magic != kEffectMagic) return fail("VSTPluginMain gave no effect");
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // 1 is the top of the row's range: the last script, so at least the first one.
    effect->setParameter(effect, kScriptIndexParameter, 1.0f);
    bool ok = effect->getParameter(effect, kScriptIndexParameter) > 0.0f || fail("no spectral script to select");
    ok = ok && runTone([&](float** in, float** out, std::uint32_t frames) {
             effect->processReplacing(effect, in, out, static_cast<VstInt32>(frames));
         });
    const State saved = vstState(effect);
    effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(saved.size()),
                       const_cast<std::uint8_t*>(saved.data()), 0.0f);
    ok = ok && sameState(saved, vstState(effect));
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return ok;
}

// CLAP -------------------------------------------------------------------------------

const void* clapHostExtension(const clap_host_t*, const char*) { return nullptr; }
void clapHostRequest(const clap_host_t*) {}

const clap_host_t kClapHost{kClapVersion,    nullptr,          "lumenfold-portable-host", "Lumenfold", "", "1",
                            clapHostExtension, clapHostRequest, clapHostRequest,           clapHostRequest};

// One event in, none kept out.
struct ClapEvents {
    clap_event_param_value_t change{};
    bool pending = false;
    clap_input_events_t in{this, [](const clap_input_events_t* list) -> std::uint32_t {
                               return static_cast<const ClapEvents*>(list->ctx)->pending ? 1 : 0;
                           },
                           [](const clap_input_events_t* list, std::uint32_t) -> const clap_event_header_t* {
                               return &static_cast<const ClapEvents*>(list->ctx)->change.header;
                           }};
    clap_output_events_t out{this, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
};

State clapState(const clap_plugin_t* plugin, const clap_plugin_state_t* state) {
    State saved;
    clap_ostream_t stream{&saved, [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
                              const auto* bytes = static_cast<const std::uint8_t*>(buffer);
                              static_cast<State*>(s->ctx)->insert(static_cast<State*>(s->ctx)->end(), bytes,
                                                                  bytes + size);
                              return static_cast<std::int64_t>(size);
                          }};
    if (!state->save(plugin, &stream)) return {};
    return saved;
}

bool clapLoad(const clap_plugin_t* plugin, const clap_plugin_state_t* state, const State& saved) {
    struct Reader {
        const State* data;
        std::size_t at;
    } reader{&saved, 0};
    clap_istream_t stream{&reader, [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
                              auto* r = static_cast<Reader*>(s->ctx);
                              const std::size_t count = std::min<std::size_t>(size, r->data->size() - r->at);
                              std::memcpy(buffer, r->data->data() + r->at, count);
                              r->at += count;
                              return static_cast<std::int64_t>(count);
                          }};
    return state->load(plugin, &stream);
}

bool processClap(const clap_plugin_t* plugin) {
    ClapEvents events;
    events.change.header = {sizeof(clap_event_param_value_t), 0, kClapCoreEventSpaceId, CLAP_EVENT_PARAM_VALUE, 0};
    events.change.param_id = kScriptIndexParameter;
    events.change.note_id = -1;
    events.change.port_index = events.change.channel = events.change.key = -1;
    events.change.value = 1.0;
    events.pending = true;
    return runTone([&](float** in, float** out, std::uint32_t frames) {
        clap_audio_buffer_t input{in, nullptr, 2, 0, 0};
        clap_audio_buffer_t output{out, nullptr, 2, 0, 0};
        const clap_process_t process{-1, frames, nullptr, &input, &output, 1, 1, &events.in, &events.out};
        plugin->process(plugin, &process);
        events.pending = false;
    });
}

bool runClapPlugin(const clap_plugin_t* plugin) {
    auto params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, kClapExtParams));
    auto state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, kClapExtState));
    if (params == nullptr || state == nullptr) return fail("the CLAP plug-in lacks params or state");
    if (!plugin->activate(plugin, kSampleRate, 1, kBlock) || !plugin->start_processing(plugin)) {
        return fail("the CLAP plug-in refused to activate");
    }
    bool ok = processClap(plugin);
    double script = 0.0;
    ok = ok && ((params->get_value(plugin, kScriptIndexParameter, &script) && script >= 1.0) ||
                fail("the spectral script was not selected"));
    plugin->stop_processing(plugin);
    const State saved = clapState(plugin, state);
    ok = ok && (clapLoad(plugin, state, saved) || fail("the CLAP plug-in refused its own state"));
    ok = ok && sameState(saved, clapState(plugin, state));
    plugin->deactivate(plugin);
    return ok;
}

bool runClap(void* library, const char* path) {
    auto entry = static_cast<const clap_plugin_entry_t*>(::dlsym(library, "clap_entry"));
    if (entry == nullptr || !entry->init(path)) return fail("clap_entry is missing or refused to start");
    auto factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    const clap_plugin_descriptor_t* descriptor =
        factory != nullptr && factory->get_plugin_count(factory) > 0 ? factory->get_plugin_descriptor(factory, 0)
                                                                     : nullptr;
    const clap_plugin_t* plugin =
        descriptor != nullptr ? factory->create_plugin(factory, &kClapHost, descriptor->id) : nullptr;
    bool ok = plugin != nullptr && plugin->init(plugin);
    ok = ok ? runClapPlugin(plugin) : fail("the CLAP factory gave no plug-in");
    if (plugin != nullptr) plugin->destroy(plugin);
    entry->deinit();
    return ok;
}

// LV2 --------------------------------------------------------------------------------

std::vector<std::string> uris;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    for (std::size_t i = 0; i < uris.size(); ++i) {
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    }
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

struct Lv2Saved {
    State data;
    LV2_URID key = 0;
    LV2_URID type = 0;
    std::uint32_t flags = 0;
};

LV2_State_Status storeLv2(LV2_State_Handle handle, std::uint32_t key, const void* value, std::size_t size,
                          std::uint32_t type, std::uint32_t flags) {
    auto* saved = static_cast<Lv2Saved*>(handle);
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    *saved = {State(bytes, bytes + size), key, type, flags};
    return LV2_STATE_SUCCESS;
}

const void* retrieveLv2(LV2_State_Handle handle, std::uint32_t key, std::size_t* size, std::uint32_t* type,
                        std::uint32_t* flags) {
    const auto* saved = static_cast<const Lv2Saved*>(handle);
    if (key != saved->key) return nullptr;
    *size = saved->data.size();
    *type = saved->type;
    *flags = saved->flags;
    return saved->data.data();
}

bool runLv2Instance(const LV2_Descriptor* descriptor, LV2_Handle instance) {
    // Port layout: 4 audio, 2 atom, the latency, then the parameters in id order. A
    // parameter port that is not a number leaves the parameter as it is.
    std::vector<float> controls(64, NAN);
    controls[kScriptIndexParameter] = 1.0f;
    float latency = 0.0f;
    alignas(8) std::uint8_t controlIn[64] = {};
    alignas(8) std::uint8_t notifyOut[8192] = {};
    *reinterpret_cast<LV2_Atom_Sequence*>(controlIn) = {{sizeof(LV2_Atom_Sequence_Body), mapUri(nullptr, LV2_ATOM__Sequence)}, {0, 0}};
    descriptor->connect_port(instance, 4, controlIn);
    descriptor->connect_port(instance, 5, notifyOut);
    descriptor->connect_port(instance, 6, &latency);
    for (std::uint32_t id = 0; id <= kScriptIndexParameter; ++id) descriptor->connect_port(instance, 7 + id, &controls[id]);
    descriptor->activate(instance);
    bool ok = runTone([&](float** in, float** out, std::uint32_t frames) {
        for (std::uint32_t port = 0; port < 4; ++port) descriptor->connect_port(instance, port, port < 2 ? in[port] : out[port - 2]);
        reinterpret_cast<LV2_Atom*>(notifyOut)->size = sizeof notifyOut - sizeof(LV2_Atom);
        descriptor->run(instance, frames);
    });
    descriptor->deactivate(instance);
    auto state = static_cast<const LV2_State_Interface*>(descriptor->extension_data(LV2_STATE__interface));
    if (state == nullptr) return fail("the LV2 plug-in has no state interface");
    Lv2Saved saved, again;
    state->save(instance, storeLv2, &saved, LV2_STATE_IS_POD, nullptr);
    ok = ok && (state->restore(instance, retrieveLv2, &saved, 0, nullptr) == LV2_STATE_SUCCESS ||
                fail("the LV2 plug-in refused its own state"));
    state->save(instance, storeLv2, &again, LV2_STATE_IS_POD, nullptr);
    return ok && sameState(saved.data, again.data);
}

bool runLv2(void* library, const std::string& path) {
    using Entry = const LV2_Descriptor* (*)(std::uint32_t);
    auto entry = reinterpret_cast<Entry>(::dlsym(library, "lv2_descriptor"));
    const LV2_Descriptor* descriptor = entry != nullptr ? entry(0) : nullptr;
    if (descriptor == nullptr) return fail("lv2_descriptor gave no plug-in");
    LV2_URID_Map map{nullptr, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    const std::string bundle = path.substr(0, path.find_last_of('/') + 1);
    LV2_Handle instance = descriptor->instantiate(descriptor, kSampleRate, bundle.c_str(), features);
    if (instance == nullptr) return fail("the LV2 plug-in did not instantiate");
    const bool ok = runLv2Instance(descriptor, instance);
    descriptor->cleanup(instance);
    return ok;
}

[[gnu::noinline]] void throwAcrossFrames(int depth) {
    if (depth == 0) throw std::runtime_error("unwinding");
    throwAcrossFrames(depth - 1);
}

// The plug-in files carry the same unwinder and lookup; if it could not find the frames'
// tables, this throw would end the process instead of being caught.
bool unwindingWorks() {
    try {
        throwAcrossFrames(3);
    } catch (const std::runtime_error&) {
        return true;
    }
    return fail("a thrown exception was not caught");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: lumenfold-portable-host vst|clap|lv2 PLUGIN_FILE\n", stderr);
        return 2;
    }
    if (!unwindingWorks()) return 1;
    const std::string format = argv[1];
    void* library = ::dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return fail(std::string("cannot load the plug-in: ") + ::dlerror()), 1;
    bool ok = false;
    if (format == "vst") ok = runVst(library);
    else if (format == "clap") ok = runClap(library, argv[2]);
    else if (format == "lv2") ok = runLv2(library, argv[2]);
    else return fail("unknown format " + format), 2;
    if (ok) std::printf("lumenfold-portable-host: %s %s: sound and state as expected\n", argv[1], argv[2]);
    return ok ? 0 : 1;
}
