#include "tools/render/SoundFileWriter.h"

#include "tools/render/AudioFile.h"
#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace lfrender {

struct SoundFileWriter::Handle {
    SNDFILE* file = nullptr;
    ~Handle()
    {
        if (file) sf_close(file);
    }
};

SoundFileWriter::SoundFileWriter(int fd, std::string displayName, int format, int channels, int sampleRate,
                                 std::optional<double> quality)
    : handle_(std::make_unique<Handle>()),
      displayName_(std::move(displayName)),
      channels_(channels),
      ditherBits_(ditheredBits(format)),
      fixedPoint_(isFixedPoint(format))
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    handle_->file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!handle_->file) throw RenderError("cannot write " + displayName_ + ": its format cannot be written here");
    // Formats written from floats: clip overs instead of letting them wrap around.
    sf_command(handle_->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    setQuality(format, quality);
}

// Left to itself libsndfile writes MP3 at a variable bitrate that can fall to 66 kbps with
// a 16 kHz cut-off: each lossy format gets its quality, and MP3 a constant bitrate (the
// mode is set first, since the level is read in the mode's terms).
void SoundFileWriter::setQuality(int format, std::optional<double> quality)
{
    const std::optional<double> byDefault = defaultQuality(format);
    if (!byDefault) return;
    if (isMpeg(format)) {
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(handle_->file, SFC_SET_BITRATE_MODE, &mode, sizeof(mode));
    }
    double level = 1.0 - quality.value_or(*byDefault);
    if (sf_command(handle_->file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof(level)) != SF_TRUE)
        throw RenderError("cannot write " + displayName_ + ": its encoder refused --quality " +
                          std::to_string(1.0 - level));
}

SoundFileWriter::~SoundFileWriter() = default;

bool SoundFileWriter::clipped() const { return fixedPoint_ && peak_ > 1.0f; }

void SoundFileWriter::write(const float* interleaved, int frames)
{
    const std::size_t count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < count; ++i) peak_ = std::max(peak_, std::fabs(interleaved[i]));
    if (ditherBits_ > 0) {
        writeDithered(interleaved, frames);
        return;
    }
    errno = 0;
    if (sf_writef_float(handle_->file, interleaved, frames) != frames)
        throw RenderError("cannot write " + displayName_ + ": " + describeFileProblem(errno ? errno : EIO));
}

void SoundFileWriter::writeDithered(const float* interleaved, int frames)
{
    const std::size_t count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    quantized_.resize(count);
    // libsndfile's int samples are full 32-bit words: ours go in the top ditherBits_.
    const int shift = 32 - ditherBits_;
    for (std::size_t i = 0; i < count; ++i)
        quantized_[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(quantize(interleaved[i])) << shift);
    errno = 0;
    if (sf_writef_int(handle_->file, quantized_.data(), frames) != frames)
        throw RenderError("cannot write " + displayName_ + ": " + describeFileProblem(errno ? errno : EIO));
}

std::int32_t SoundFileWriter::quantize(float sample)
{
    // Digital silence stays digital silence: a sample that is exactly zero gets no dither.
    // Where signal begins the dither's one step comes in under the signal, with no click.
    if (sample == 0.0f) return 0;
    const double fullScale = static_cast<double>(1 << (ditherBits_ - 1));
    const double step = 1.0 / 4294967296.0;
    const double triangular = (static_cast<double>(noise_()) + static_cast<double>(noise_())) * step - 1.0;
    const double value = std::nearbyint(static_cast<double>(sample) * fullScale + triangular);
    return static_cast<std::int32_t>(std::clamp(value, -fullScale, fullScale - 1.0));
}

void SoundFileWriter::finish()
{
    SNDFILE* file = handle_->file;
    handle_->file = nullptr;
    if (sf_close(file) != 0) throw RenderError("cannot finish writing " + displayName_);
}

}  // namespace lfrender
