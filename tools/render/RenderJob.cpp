#include "tools/render/RenderJob.h"

#include "engine/vst/VendorQueries.h"
#include "tools/host/DefaultPluginPath.h"
#include "tools/host/FramedMidiMessage.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/StreamingRenderer.h"
#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/FileProblem.h"
#include "tools/render/LumenfoldParameterCatalog.h"
#include "tools/render/LumenfoldPresetFiles.h"
#include "tools/render/MidiFileReader.h"
#include "tools/render/ParameterAssigner.h"
#include "tools/render/ParameterListing.h"
#include "tools/render/PluginParameterCatalog.h"
#include "tools/render/ProgramList.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/RenderError.h"
#include "tools/render/SoundFileReader.h"
#include "tools/render/SoundFileWriter.h"
#include "tools/render/TemporaryOutputFile.h"

#include "platform/FileSystem.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <optional>

namespace lfrender {
namespace {

std::unique_ptr<ParameterCatalog> catalogFor(lfhost::PluginInstance& plugin)
{
    std::unique_ptr<ParameterCatalog> catalog = makeLumenfoldParameterCatalog(plugin);
    if (!catalog) catalog = std::make_unique<PluginParameterCatalog>(plugin);
    return catalog;
}

void warnAboutClipping(const std::string& path, float peak)
{
    std::fprintf(stderr,
                 "lumenfold-render: warning: %s clipped: its peak is %.3f (%+.2f dBFS), past what its "
                 "fixed-point samples hold; lower \"Output Gain\" or use --bits 32f\n",
                 path.c_str(), static_cast<double>(peak), 20.0 * std::log10(static_cast<double>(peak)));
}

// The outputs never replace the input or each other: refused before anything is read or made.
void requireDistinctFiles(const RenderOptions& options)
{
    const std::string& in = options.inputPath;
    const std::string& out = options.outputPath;
    const std::string& state = options.saveStatePath;
    if (!in.empty() && namesSameFile(in, out))
        throw RenderError::commandLine("the output " + out + " is the input file itself: name another output (" +
                                       "the input is never replaced)");
    if (!state.empty() && !in.empty() && namesSameFile(in, state))
        throw RenderError::commandLine("--save-state " + state + " is the input file itself: name another file (" +
                                       "the input is never replaced)");
    if (!state.empty() && namesSameFile(out, state))
        throw RenderError::commandLine("--save-state " + state + " is the audio output " + out +
                                       " too: name two different files");
    const std::string& preset = options.savePresetPath;
    if (preset.empty()) return;
    for (const std::string& other : {in, out, state})
        if (!other.empty() && namesSameFile(preset, other))
            throw RenderError::commandLine("--save-preset " + preset + " is also " + other +
                                           ": name a file of its own");
}

}  // namespace

// The audio to render, from a file or the demo signal, read a block at a time.
struct RenderJob::Source {
    std::optional<SoundFileReader> file;
    std::vector<std::vector<float>> demo;
    long long demoPosition = 0;
    int channels = 2;
    int sampleRate = 0;
    long long frames = 0;  // SoundFileReader::kUnknownLength: read to the end
    std::optional<int> format;
    std::vector<float> interleaved;

    // Fills every plug-in input channel c from file channel c % channels.
    int pull(float* const* inputs, int inputCount, int wanted)
    {
        if (!file) return pullDemo(inputs, inputCount, wanted);
        interleaved.resize(static_cast<std::size_t>(wanted) * static_cast<std::size_t>(channels));
        const int got = file->read(interleaved.data(), wanted);
        for (int c = 0; c < inputCount; ++c)
            for (int i = 0; i < got; ++i)
                inputs[c][i] = interleaved[static_cast<std::size_t>(i * channels + c % channels)];
        return got;
    }

    int pullDemo(float* const* inputs, int inputCount, int wanted)
    {
        const int got = static_cast<int>(std::min<long long>(wanted, frames - demoPosition));
        for (int c = 0; c < inputCount; ++c) {
            const std::vector<float>& channel = demo[static_cast<std::size_t>(c % channels)];
            std::copy_n(channel.begin() + demoPosition, got, inputs[c]);
        }
        demoPosition += got;
        return got;
    }
};

RenderJob::RenderJob(RenderOptions options) : options_(std::move(options)) {}

std::vector<std::uint8_t> readStateFile(const std::string& path)
{
    std::vector<std::uint8_t> bytes = readInputFile(path, "state file", kMaxStateFileBytes);
    if (bytes.empty()) throw RenderError("state file " + path + " is empty");
    return bytes;
}

void interleaveFitted(const float* const* outputs, int outputCount, int frames, int fileChannels, float* interleaved)
{
    if (outputCount < 1) throw RenderError("the plug-in has no outputs", ExitStatus::PluginProblem);
    for (int i = 0; i < frames; ++i) {
        if (fileChannels == 1) {
            float sum = 0.0f;
            for (int c = 0; c < outputCount; ++c) sum += outputs[c][i];
            interleaved[i] = sum / static_cast<float>(outputCount);
            continue;
        }
        for (int c = 0; c < fileChannels; ++c) interleaved[i * fileChannels + c] = outputs[c % outputCount][i];
    }
}

std::unique_ptr<lfhost::PluginInstance> RenderJob::loadPlugin(float sampleRate) const
{
    lfhost::HostOptions hostOptions;
    hostOptions.sampleRate = sampleRate;
    hostOptions.blockSize = options_.blockSize;
    const std::string pluginPath = options_.pluginPath.empty() ? lfhost::defaultPluginPath() : options_.pluginPath;
    std::string error;
    auto plugin = lfhost::PluginInstance::create(pluginPath, &error, hostOptions);
    if (!plugin) throw RenderError(error, ExitStatus::PluginProblem);
    plugin->setSampleRate(hostOptions.sampleRate);
    plugin->setBlockSize(hostOptions.blockSize);
    return plugin;
}

void RenderJob::restoreState(lfhost::PluginInstance& plugin, const std::vector<std::uint8_t>& state) const
{
    if (state.empty()) return;
    if (plugin.setChunk(state.data(), state.size()) == 0)
        throw RenderError("state file " + options_.statePath +
                          " is not a state of this plug-in (the plug-in refused it)");
}

// A program name of the plug-in first; else a preset file of that path.
void RenderJob::applyPreset(lfhost::PluginInstance& plugin) const
{
    const std::string& preset = options_.preset;
    if (preset.empty()) return;
    ProgramList programs(plugin);
    if (const std::optional<int> index = programs.find(preset)) {
        programs.select(*index);
        return;
    }
    if (platform::isReadableRegularFile(preset)) {
        applyPresetFile(plugin, preset);
        return;
    }
    std::string known;
    for (const std::string& name : programs.names()) known += (known.empty() ? "" : ", ") + ("\"" + name + "\"");
    throw RenderError::commandLine("--preset " + preset + " is neither a program of the plug-in" +
                                   (known.empty() ? std::string() : " (" + known + ")") + " nor a readable file");
}

void RenderJob::applyAssignments(lfhost::PluginInstance& plugin) const
{
    const std::unique_ptr<ParameterCatalog> catalog = catalogFor(plugin);
    ParameterAssigner assigner(plugin, *catalog);
    for (const auto& [name, value] : options_.assignments) assigner.assign(name, value);
}

std::vector<lfhost::FramedMidiMessage> RenderJob::loadMidi(int sampleRate, long long length) const
{
    std::vector<lfhost::FramedMidiMessage> framed;
    if (options_.midiPath.empty()) return framed;
    if (length < 0) length = std::numeric_limits<long long>::max();  // known only at the end
    for (const TimedMidiMessage& message : MidiFileReader::read(options_.midiPath)) {
        const long long frame = std::llround(message.seconds * sampleRate);
        if (frame >= length) break;
        lfhost::FramedMidiMessage out;
        out.frame = frame;
        std::copy(std::begin(message.bytes), std::end(message.bytes), std::begin(out.bytes));
        framed.push_back(out);
    }
    return framed;
}

// With --state the list shows what the state holds, loaded as a render loads it.
// A spectral script that failed on at least one frame and never succeeded did nothing the
// user asked for: the render is refused unless --allow-script-errors. The plug-in counts
// its script's frames and failures and answers our vendor query; the console's text
// would not do, since its lines do not say which script wrote them. A plug-in that does
// not know the query answers 0 for both counts.
void RenderJob::requireWorkingSpectralScript(lfhost::PluginInstance& plugin) const
{
    if (options_.allowScriptErrors) return;
    const auto ask = [&plugin](VstIntPtr which) {
        return plugin.dispatch(effVendorSpecific, QN::vendor::kSpectralScriptFrames, which);
    };
    const VstIntPtr failed = ask(QN::vendor::kFramesFailed);
    if (failed <= 0 || failed < ask(QN::vendor::kFramesRun)) return;
    const int scriptIndex = catalogFor(plugin)->findByName("Script Index");
    const std::string name = scriptIndex >= 0 ? " \"" + plugin.parameterDisplay(scriptIndex) + "\"" : "";
    throw RenderError("the spectral script" + name + " failed on every frame it ran (" + std::to_string(failed) +
                          "), so nothing is written; its error is above (--allow-script-errors keeps such a render)",
                      ExitStatus::ScriptFailed);
}

void RenderJob::list()
{
    const bool withState = !options_.statePath.empty();
    const std::vector<std::uint8_t> state = withState ? readStateFile(options_.statePath) : std::vector<std::uint8_t>();
    auto plugin = loadPlugin(kDemoDefaultSampleRate);
    restoreState(*plugin, state);
    const std::unique_ptr<ParameterCatalog> catalog = catalogFor(*plugin);
    if (options_.listParameters) printParameterList(*plugin, *catalog, stdout, withState);
    if (options_.listScripts) printScriptList(*plugin, *catalog, stdout);
    if (options_.listPresets) ProgramList(*plugin).print(stdout);
}

void RenderJob::renderInto(lfhost::PluginInstance& plugin, Source& source, int fd, int format,
                           const std::vector<lfhost::FramedMidiMessage>& midi) const
{
    SoundFileWriter writer(fd, options_.outputPath, format, source.channels, source.sampleRate, options_.quality);
    lfhost::StreamingRenderer renderer(plugin, options_.blockSize);
    std::vector<float> interleaved(static_cast<std::size_t>(options_.blockSize) * static_cast<std::size_t>(source.channels));
    ProgressBar bar(ProgressBar::wanted(source.frames, static_cast<float>(source.sampleRate)));
    const bool untilEnd = source.frames == SoundFileReader::kUnknownLength;
    renderer.render(
        untilEnd ? lfhost::StreamingRenderer::kUntilSourceEnds : source.frames,
        [&](float* const* inputs, int frames) { return source.pull(inputs, renderer.numInputs(), frames); },
        [&](const float* const* outputs, int frames) {
            interleaveFitted(outputs, renderer.numOutputs(), frames, source.channels, interleaved.data());
            writer.write(interleaved.data(), frames);
        },
        midi, [&bar](double fraction) { bar.update(fraction); });
    writer.finish();
    if (writer.clipped()) warnAboutClipping(options_.outputPath, writer.peak());
}

void RenderJob::run()
{
    if (options_.listParameters || options_.listScripts || options_.listPresets) {
        list();
        return;
    }
    requireDistinctFiles(options_);
    Source source;
    if (options_.inputPath.empty()) {
        const float rate = options_.sampleRate.value_or(kDemoDefaultSampleRate);
        source.demo = makeDemoSignal(rate);
        source.sampleRate = static_cast<int>(std::lround(rate));
        source.frames = static_cast<long long>(source.demo.front().size());
    } else {
        source.file.emplace(options_.inputPath);
        source.channels = source.file->channels();
        source.sampleRate = source.file->sampleRate();
        source.frames = source.file->frames();
        source.format = source.file->format();
        if (options_.sampleRate && std::lround(*options_.sampleRate) != source.sampleRate)
            throw RenderError::commandLine("--sample-rate " + std::to_string(std::lround(*options_.sampleRate)) +
                                           " differs from " + options_.inputPath + "'s rate " +
                                           std::to_string(source.sampleRate));
    }
    // Everything from outside is checked before the plug-in runs or a file is made.
    const int format =
        outputFormatFor(options_.outputPath, source.format, options_.bits, source.channels, source.sampleRate);
    if (options_.quality && !defaultQuality(format))
        throw RenderError::commandLine("--quality does not apply to " + options_.outputPath + ": its format is lossless");
    const std::vector<lfhost::FramedMidiMessage> midi = loadMidi(source.sampleRate, source.frames);
    const std::vector<std::uint8_t> state =
        options_.statePath.empty() ? std::vector<std::uint8_t>() : readStateFile(options_.statePath);

    auto plugin = loadPlugin(static_cast<float>(source.sampleRate));
    restoreState(*plugin, state);
    applyPreset(*plugin);
    applyAssignments(*plugin);

    // Every output is complete before any takes its final name.
    TemporaryOutputFile audioFile(options_.outputPath);
    std::optional<TemporaryOutputFile> stateFile;
    if (!options_.saveStatePath.empty()) stateFile.emplace(options_.saveStatePath);
    std::optional<TemporaryOutputFile> presetFile;
    if (!options_.savePresetPath.empty()) presetFile.emplace(options_.savePresetPath);
    renderInto(*plugin, source, audioFile.fd(), format, midi);
    requireWorkingSpectralScript(*plugin);
    if (stateFile) {
        const std::vector<std::uint8_t> saved = plugin->getChunk();
        stateFile->writeAll(saved.data(), saved.size());
    }
    if (presetFile) {
        const std::string text = presetFileText(*plugin);
        presetFile->writeAll(text.data(), text.size());
    }
    audioFile.commit();
    if (stateFile) stateFile->commit();
    if (presetFile) presetFile->commit();
}

}  // namespace lfrender
