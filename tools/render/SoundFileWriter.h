#pragma once
// An audio file written block by block through libsndfile onto an open descriptor.
//
// Fixed-point samples of 8, 16 and 24 bits get TPDF dither (two uniform values of one
// step each, summed, added before rounding), from a fixed seed so that two renders of
// the same input are identical. Samples that are exactly zero get none, so that digital
// silence is written as zeros. Samples past full scale are clipped in every fixed-point
// format, and the writer keeps the peak so that the caller can warn once.

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace lfrender {

class SoundFileWriter {
public:
    // Throws RenderError when libsndfile refuses the format, or the quality of a lossy
    // one (defaultQuality when none is given), on this descriptor.
    SoundFileWriter(int fd, std::string displayName, int format, int channels, int sampleRate,
                    std::optional<double> quality = std::nullopt);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // Throws RenderError when the data cannot be written (a full disk, for example).
    void write(const float* interleaved, int frames);
    // Flushes and closes the file (the descriptor stays open).
    void finish();

    // The largest magnitude written, and whether it lay past full scale in a fixed-point
    // format (so that it was clipped).
    [[nodiscard]] float peak() const { return peak_; }
    [[nodiscard]] bool clipped() const;

private:
    void setQuality(int format, std::optional<double> quality);
    void writeDithered(const float* interleaved, int frames);
    [[nodiscard]] std::int32_t quantize(float sample);

    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string displayName_;
    int channels_;
    int ditherBits_;
    bool fixedPoint_;
    float peak_ = 0.0f;
    std::mt19937 noise_{0x4c554d45u};
    std::vector<std::int32_t> quantized_;
};

}  // namespace lfrender
