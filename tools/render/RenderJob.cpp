#include "tools/render/RenderJob.h"

#include "tools/host/DefaultPluginPath.h"
#include "tools/host/OfflineRenderer.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/LumenfoldParameterCatalog.h"
#include "tools/render/ParameterAssigner.h"
#include "tools/render/PluginParameterCatalog.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/RenderError.h"
#include "tools/render/TemporaryOutputFile.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>

namespace lfrender {

RenderJob::RenderJob(RenderOptions options) : options_(std::move(options)) {}

std::vector<std::uint8_t> readStateFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw RenderError("cannot read state file " + path);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw RenderError("cannot read state file " + path);
    if (bytes.empty()) throw RenderError("state file " + path + " is empty");
    return bytes;
}

std::vector<std::vector<float>> fitChannels(const std::vector<std::vector<float>>& rendered, std::size_t channelCount)
{
    if (rendered.empty()) throw RenderError("the plug-in has no outputs");
    if (channelCount == 1) {
        std::vector<float> mean(rendered.front().size(), 0.0f);
        for (const auto& channel : rendered)
            for (std::size_t i = 0; i < mean.size(); ++i) mean[i] += channel[i];
        for (float& sample : mean) sample /= static_cast<float>(rendered.size());
        return {mean};
    }
    std::vector<std::vector<float>> result;
    for (std::size_t c = 0; c < channelCount; ++c) result.push_back(rendered[c % rendered.size()]);
    return result;
}

AudioBuffer RenderJob::loadSource() const
{
    if (options_.inputPath.empty()) {
        AudioBuffer demo;
        const float rate = options_.sampleRate.value_or(kDemoDefaultSampleRate);
        demo.channels = makeDemoSignal(rate);
        demo.sampleRate = static_cast<int>(std::lround(rate));
        demo.format = outputFormatFor(options_.outputPath, nullptr);
        return demo;
    }
    AudioBuffer input = readAudioFile(options_.inputPath);
    if (options_.sampleRate && std::lround(*options_.sampleRate) != input.sampleRate)
        throw RenderError("--sample-rate " + std::to_string(std::lround(*options_.sampleRate)) + " differs from " +
                          options_.inputPath + "'s rate " + std::to_string(input.sampleRate));
    input.format = outputFormatFor(options_.outputPath, &input);
    return input;
}

void RenderJob::restoreState(lfhost::PluginInstance& plugin) const
{
    if (options_.statePath.empty()) return;
    const std::vector<std::uint8_t> state = readStateFile(options_.statePath);
    if (plugin.setChunk(state.data(), state.size()) == 0)
        throw RenderError(options_.statePath + " is not a state of this plug-in (the plug-in refused it)");
}

void RenderJob::applyAssignments(lfhost::PluginInstance& plugin) const
{
    std::unique_ptr<ParameterCatalog> catalog = makeLumenfoldParameterCatalog(plugin);
    if (!catalog) catalog = std::make_unique<PluginParameterCatalog>(plugin);
    ParameterAssigner assigner(plugin, *catalog);
    for (const auto& [name, value] : options_.assignments) assigner.assign(name, value);
}

AudioBuffer RenderJob::render(lfhost::PluginInstance& plugin, const AudioBuffer& source) const
{
    const long long frames = source.channels.empty() ? 0 : static_cast<long long>(source.channels.front().size());
    ProgressBar bar(ProgressBar::wanted(frames, static_cast<float>(source.sampleRate)));
    lfhost::OfflineRenderer renderer(plugin);
    const auto rendered =
        renderer.render(source.channels, options_.blockSize, [&bar](double fraction) { bar.update(fraction); });
    AudioBuffer result;
    result.channels = fitChannels(rendered, source.channels.size());
    result.sampleRate = source.sampleRate;
    result.format = source.format;
    return result;
}

void RenderJob::run()
{
    const AudioBuffer source = loadSource();

    lfhost::HostOptions hostOptions;
    hostOptions.sampleRate = static_cast<float>(source.sampleRate);
    hostOptions.blockSize = options_.blockSize;
    const std::string pluginPath = options_.pluginPath.empty() ? lfhost::defaultPluginPath() : options_.pluginPath;
    std::string error;
    auto plugin = lfhost::PluginInstance::create(pluginPath, &error, hostOptions);
    if (!plugin) throw RenderError(error);
    plugin->setSampleRate(hostOptions.sampleRate);
    plugin->setBlockSize(hostOptions.blockSize);

    restoreState(*plugin);
    applyAssignments(*plugin);
    const AudioBuffer result = render(*plugin, source);

    // Both outputs are complete before either takes its final name.
    TemporaryOutputFile audioFile(options_.outputPath);
    writeAudioFile(audioFile.fd(), options_.outputPath, result);
    std::optional<TemporaryOutputFile> stateFile;
    if (!options_.saveStatePath.empty()) {
        const std::vector<std::uint8_t> state = plugin->getChunk();
        stateFile.emplace(options_.saveStatePath);
        stateFile->writeAll(state.data(), state.size());
    }
    audioFile.commit();
    if (stateFile) stateFile->commit();
}

}  // namespace lfrender
