#include "tools/render/AudioFile.h"

#include "tools/render/RenderError.h"
#include "tools/render/TextMatching.h"

#include <sndfile.h>

#include <filesystem>

namespace lfrender {
namespace {

struct ExtensionFormat {
    const char* extension;
    int format;
};

constexpr ExtensionFormat kExtensions[] = {
    {".wav", SF_FORMAT_WAV},
    {".flac", SF_FORMAT_FLAC},
    {".aiff", SF_FORMAT_AIFF},
    {".aif", SF_FORMAT_AIFF},
    {".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {".oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
    {".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

bool isCompressed(int format) { return (format & SF_FORMAT_SUBMASK) != 0; }

int defaultSubtype(int major) { return major == SF_FORMAT_WAV ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24; }

bool isValidFormat(int format, int channels, int sampleRate)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

int subtypeFor(SampleBits bits)
{
    switch (bits) {
    case SampleBits::Int16: return SF_FORMAT_PCM_16;
    case SampleBits::Int24: return SF_FORMAT_PCM_24;
    case SampleBits::Float32: return SF_FORMAT_FLOAT;
    }
    return SF_FORMAT_FLOAT;
}

const char* bitsText(SampleBits bits)
{
    switch (bits) {
    case SampleBits::Int16: return "16-bit";
    case SampleBits::Int24: return "24-bit";
    case SampleBits::Float32: return "32-bit float";
    }
    return "";
}

std::string extensionList()
{
    std::string list;
    for (const ExtensionFormat& entry : kExtensions) list += (list.empty() ? "" : ", ") + std::string(entry.extension);
    return list;
}

int chosenFormat(const std::string& path, int container, std::optional<int> inputFormat, std::optional<SampleBits> bits,
                 int channels, int sampleRate)
{
    if (isCompressed(container)) {
        if (bits) throw RenderError::commandLine("--bits does not apply to " + path + ": its format is compressed");
        return container;
    }
    if (bits) {
        const int format = container | subtypeFor(*bits);
        if (!isValidFormat(format, channels, sampleRate))
            throw RenderError::commandLine(path + " cannot hold " + bitsText(*bits) + " samples: choose other --bits");
        return format;
    }
    if (!inputFormat) return container | defaultSubtype(container);
    if (container == (*inputFormat & SF_FORMAT_TYPEMASK)) return *inputFormat;
    const int sameSubtype = container | (*inputFormat & SF_FORMAT_SUBMASK);
    if (isValidFormat(sameSubtype, channels, sampleRate)) return sameSubtype;
    return container | defaultSubtype(container);
}

}  // namespace

std::optional<SampleBits> parseSampleBits(const std::string& text)
{
    if (text == "16") return SampleBits::Int16;
    if (text == "24") return SampleBits::Int24;
    if (text == "32f") return SampleBits::Float32;
    return std::nullopt;
}

int formatForExtension(const std::string& path)
{
    const std::string extension = lowerAscii(std::filesystem::path(path).extension().string());
    for (const ExtensionFormat& entry : kExtensions)
        if (extension == entry.extension) return entry.format;
    return 0;
}

int outputFormatFor(const std::string& outputPath, std::optional<int> inputFormat, std::optional<SampleBits> bits,
                    int channels, int sampleRate)
{
    const int container = formatForExtension(outputPath);
    if (container == 0)
        throw RenderError::commandLine("cannot tell the format of " + outputPath + " from its name: end it in " +
                                       extensionList());
    const int format = chosenFormat(outputPath, container, inputFormat, bits, channels, sampleRate);
    if (!isValidFormat(format, channels, sampleRate))
        throw RenderError::commandLine(outputPath + " cannot be written in its format at " + std::to_string(sampleRate) +
                                       " Hz with " + std::to_string(channels) + " channels");
    return format;
}

std::optional<double> defaultQuality(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_MPEG_LAYER_III: return 0.6;
    case SF_FORMAT_OPUS: return 0.235;
    case SF_FORMAT_VORBIS: return 0.5;
    default: return std::nullopt;
    }
}

bool isMpeg(int format) { return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG; }

int ditheredBits(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    default: return 0;
    }
}

bool isFixedPoint(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III: return false;
    default: return true;
    }
}

}  // namespace lfrender
