#include "tools/render/AudioFile.h"

#include "tools/render/RenderError.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace lfrender {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string lowerCaseExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

int defaultSubtype(int major)
{
    return major == SF_FORMAT_WAV ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24;
}

bool isValidFormat(int format, int channels, int sampleRate)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

std::vector<std::vector<float>> deinterleave(const std::vector<float>& samples, int channels, sf_count_t frames)
{
    std::vector<std::vector<float>> result(static_cast<std::size_t>(channels),
                                           std::vector<float>(static_cast<std::size_t>(frames)));
    for (sf_count_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            result[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)] =
                samples[static_cast<std::size_t>(f * channels + c)];
    return result;
}

std::vector<float> interleave(const std::vector<std::vector<float>>& channels)
{
    const std::size_t count = channels.size();
    const std::size_t frames = count ? channels.front().size() : 0;
    std::vector<float> samples(frames * count);
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < count; ++c) samples[f * count + c] = channels[c][f];
    return samples;
}

}  // namespace

AudioBuffer readAudioFile(const std::string& path)
{
    SF_INFO info{};
    SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) throw RenderError("cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels < 1 || info.channels > kMaxChannels)
        throw RenderError(path + " has " + std::to_string(info.channels) +
                          " channels; only mono and stereo files can be rendered");

    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t read = sf_readf_float(file.get(), samples.data(), info.frames);
    if (read != info.frames) throw RenderError("cannot read all of " + path + ": " + sf_strerror(file.get()));

    AudioBuffer buffer;
    buffer.channels = deinterleave(samples, info.channels, info.frames);
    buffer.sampleRate = info.samplerate;
    buffer.format = info.format;
    return buffer;
}

int majorFormatForExtension(const std::string& path)
{
    const std::string extension = lowerCaseExtension(path);
    if (extension == ".wav") return SF_FORMAT_WAV;
    if (extension == ".flac") return SF_FORMAT_FLAC;
    if (extension == ".aiff" || extension == ".aif") return SF_FORMAT_AIFF;
    return 0;
}

int outputFormatFor(const std::string& outputPath, const AudioBuffer* input)
{
    const int major = majorFormatForExtension(outputPath);
    if (!input) {
        if (major == 0)
            throw RenderError("cannot tell the format of " + outputPath + " (use .wav, .flac, .aiff or .aif)");
        return major | defaultSubtype(major);
    }
    if (major == 0 || major == (input->format & SF_FORMAT_TYPEMASK)) return input->format;
    const int channels = static_cast<int>(input->channels.size());
    const int sameSubtype = major | (input->format & SF_FORMAT_SUBMASK);
    if (isValidFormat(sameSubtype, channels, input->sampleRate)) return sameSubtype;
    return major | defaultSubtype(major);
}

void writeAudioFile(int fd, const std::string& displayName, const AudioBuffer& buffer)
{
    SF_INFO info{};
    info.format = buffer.format;
    info.channels = static_cast<int>(buffer.channels.size());
    info.samplerate = buffer.sampleRate;
    if (!sf_format_check(&info)) throw RenderError("cannot write " + displayName + " in the chosen format");

    SndfileHandle file(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
    if (!file) throw RenderError("cannot write " + displayName + ": " + sf_strerror(nullptr));
    // Integer formats: clip overs instead of letting them wrap around.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const std::vector<float> samples = interleave(buffer.channels);
    const sf_count_t frames = info.channels ? static_cast<sf_count_t>(samples.size() / info.channels) : 0;
    if (sf_writef_float(file.get(), samples.data(), frames) != frames)
        throw RenderError("cannot write " + displayName + ": " + sf_strerror(file.get()));
    if (sf_close(file.release()) != 0) throw RenderError("cannot finish writing " + displayName);
}

}  // namespace lfrender
