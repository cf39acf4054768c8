#include "tools/render/SoundFileReader.h"

#include "tools/render/AudioFile.h"
#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"

#include <sndfile.h>

namespace lfrender {

struct SoundFileReader::Handle {
    SNDFILE* file = nullptr;
    ~Handle()
    {
        if (file) sf_close(file);
    }
};

SoundFileReader::SoundFileReader(const std::string& path) : path_(path), handle_(std::make_unique<Handle>())
{
    requireReadableFile(path, "input file");
    SF_INFO info{};
    handle_->file = sf_open(path.c_str(), SFM_READ, &info);
    if (!handle_->file)
        throw RenderError("cannot read input file " + path + ": it is not audio in a format libsndfile knows");
    if (info.channels < 1 || info.channels > kMaxChannels)
        throw RenderError("input file " + path + " has " + std::to_string(info.channels) +
                          " channels; only mono and stereo files can be rendered");
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    frames_ = info.frames;
    format_ = info.format;
}

SoundFileReader::~SoundFileReader() = default;

int SoundFileReader::read(float* interleaved, int frames)
{
    const sf_count_t got = sf_readf_float(handle_->file, interleaved, frames);
    framesRead_ += got;
    if (got < frames && framesRead_ < frames_)
        throw RenderError("cannot read input file " + path_ + " to its end: it breaks off after " +
                          std::to_string(framesRead_) + " of " + std::to_string(frames_) + " frames");
    return static_cast<int>(got);
}

}  // namespace lfrender
