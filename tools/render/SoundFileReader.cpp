#include "tools/render/SoundFileReader.h"

#include "tools/render/AudioFile.h"
#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"
#include "tools/render/RenderOptions.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace lfrender {
namespace {

constexpr int kLookAheadFrames = 4096;

}  // namespace

struct SoundFileReader::Handle {
    platform::OpenedFile descriptor;  // closed after libsndfile is done with it
    SNDFILE* file = nullptr;
    ~Handle()
    {
        if (file) sf_close(file);
    }
};

SoundFileReader::SoundFileReader(const std::string& path) : path_(path), handle_(std::make_unique<Handle>())
{
    handle_->descriptor = openInputFile(path, "input file", kAnyFileSize);
    // libsndfile expects reads that wait; a regular file's never wait long.
    handle_->descriptor.clearNonBlocking();
    SF_INFO info{};
    handle_->file = sf_open_fd(handle_->descriptor.fd(), SFM_READ, &info, SF_FALSE);
    if (!handle_->file)
        throw RenderError("cannot read input file " + path + ": it is not audio in a format libsndfile knows");
    if (info.channels < 1 || info.channels > kMaxChannels)
        throw RenderError("input file " + path + " has " + std::to_string(info.channels) +
                          " channels; only mono and stereo files can be rendered");
    // libsndfile reports an AIFF rate of 0 as 1 Hz and one of NaN or infinity as 67108864 Hz.
    if (static_cast<float>(info.samplerate) < kMinSampleRate || static_cast<float>(info.samplerate) > kMaxSampleRate)
        throw RenderError("input file " + path + " has a sample rate of " + std::to_string(info.samplerate) +
                          " Hz; only rates from " + std::to_string(std::lround(kMinSampleRate)) + " to " +
                          std::to_string(std::lround(kMaxSampleRate)) + " Hz can be rendered");
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    format_ = info.format;
    frames_ = info.frames;
    if (frames_ > 0 && frames_ < SF_COUNT_MAX) return;
    // No length in the file (libsndfile says SF_COUNT_MAX, or 0): read ahead to learn
    // whether there is any audio, then read to the end.
    frames_ = kUnknownLength;
    ahead_.resize(static_cast<std::size_t>(kLookAheadFrames) * static_cast<std::size_t>(channels_));
    const int got = readFromFile(ahead_.data(), kLookAheadFrames);
    ahead_.resize(static_cast<std::size_t>(got) * static_cast<std::size_t>(channels_));
    if (got == 0) throw RenderError("input file " + path + " holds no audio (0 frames): there is nothing to render");
}

SoundFileReader::~SoundFileReader() = default;

int SoundFileReader::readFromFile(float* interleaved, int frames)
{
    const sf_count_t got = sf_readf_float(handle_->file, interleaved, frames);
    framesRead_ += got;
    if (got < frames && frames_ != kUnknownLength && framesRead_ < frames_)
        throw RenderError("cannot read input file " + path_ + " to its end: it breaks off after " +
                          std::to_string(framesRead_) + " of " + std::to_string(frames_) + " frames");
    return static_cast<int>(got);
}

int SoundFileReader::read(float* interleaved, int frames)
{
    const std::size_t channels = static_cast<std::size_t>(channels_);
    const int fromAhead =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frames), (ahead_.size() - aheadUsed_) / channels));
    std::copy_n(ahead_.begin() + static_cast<std::ptrdiff_t>(aheadUsed_), static_cast<std::size_t>(fromAhead) * channels,
                interleaved);
    aheadUsed_ += static_cast<std::size_t>(fromAhead) * channels;
    if (fromAhead == frames) return frames;
    return fromAhead + readFromFile(interleaved + static_cast<std::size_t>(fromAhead) * channels, frames - fromAhead);
}

}  // namespace lfrender
