#pragma once
// An audio file read block by block through libsndfile, so that memory stays the same
// whatever the file's length. Mono and stereo files at 1 kHz to 768 kHz only.
//
// The file is opened by openInputFile (never blocking, a regular file only) and
// libsndfile reads that very descriptor. A file whose length is not written in it (a
// FLAC whose total-samples field is 0, "unknown") is read to its end.

#include "platform/FileSystem.h"

#include <memory>
#include <string>
#include <vector>

namespace lfrender {

class SoundFileReader {
public:
    // frames() of a file whose length is known only at its end.
    static constexpr long long kUnknownLength = -1;

    // Throws RenderError naming the file and the reason when it cannot be opened, is not
    // audio, holds no audio, has other than one or two channels or a rate outside
    // kMinSampleRate to kMaxSampleRate.
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    [[nodiscard]] int channels() const { return channels_; }
    [[nodiscard]] int sampleRate() const { return sampleRate_; }
    // The length in frames, or kUnknownLength.
    [[nodiscard]] long long frames() const { return frames_; }
    [[nodiscard]] int format() const { return format_; }

    // Reads up to frames frames, interleaved; answers how many came (fewer only at the
    // end). Throws RenderError when the file breaks off before its stated length.
    int read(float* interleaved, int frames);

private:
    struct Handle;
    int readFromFile(float* interleaved, int frames);

    std::string path_;
    std::unique_ptr<Handle> handle_;
    int channels_ = 0;
    int sampleRate_ = 0;
    long long frames_ = 0;
    long long framesRead_ = 0;
    int format_ = 0;
    // Frames read ahead to learn whether a file of unknown length holds any audio.
    std::vector<float> ahead_;
    std::size_t aheadUsed_ = 0;
};

}  // namespace lfrender
