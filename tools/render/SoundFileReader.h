#pragma once
// An audio file read block by block through libsndfile, so that memory stays the same
// whatever the file's length. Mono and stereo files only.

#include <memory>
#include <string>

namespace lfrender {

class SoundFileReader {
public:
    // Throws RenderError naming the file and the reason when it cannot be opened, is not
    // audio, or has other than one or two channels.
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    [[nodiscard]] int channels() const { return channels_; }
    [[nodiscard]] int sampleRate() const { return sampleRate_; }
    [[nodiscard]] long long frames() const { return frames_; }
    [[nodiscard]] int format() const { return format_; }

    // Reads up to frames frames, interleaved; answers how many came. Throws RenderError
    // when the file breaks off before its stated length.
    int read(float* interleaved, int frames);

private:
    struct Handle;
    std::string path_;
    std::unique_ptr<Handle> handle_;
    int channels_ = 0;
    int sampleRate_ = 0;
    long long frames_ = 0;
    long long framesRead_ = 0;
    int format_ = 0;
};

}  // namespace lfrender
