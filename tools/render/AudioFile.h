#pragma once
// Which libsndfile format an output file is written in. The extension names the
// container: .wav, .flac, .aiff/.aif, .ogg/.oga (Ogg Vorbis), .opus (Ogg Opus), .mp3
// (MPEG layer III); any other extension is refused. Every failure throws RenderError
// with a one-line reason.

#include <optional>
#include <string>

namespace lfrender {

inline constexpr int kMaxChannels = 2;

// Sample formats --bits can ask for.
enum class SampleBits { Int16, Int24, Float32 };

// "16", "24" or "32f"; nothing for any other text.
[[nodiscard]] std::optional<SampleBits> parseSampleBits(const std::string& text);

// libsndfile major format (with the fixed subtype of a compressed format) named by the
// extension, else 0.
[[nodiscard]] int formatForExtension(const std::string& path);

// The format to write outputPath in. --bits wins; otherwise the input's own sample format
// when there is an input (moved to the extension's container when it can hold it),
// otherwise the extension's default (32-bit float for WAV, 24-bit for FLAC and AIFF).
// Compressed formats take no --bits. The result is checked against the channel count
// and rate.
[[nodiscard]] int outputFormatFor(const std::string& outputPath, std::optional<int> inputFormat,
                                  std::optional<SampleBits> bits, int channels, int sampleRate);

// --quality of a lossy format when none is given, else nothing for a lossless one. The
// quality runs from 0 (smallest file) to 1 (best sound); libsndfile's compression level
// is 1 minus it. MP3 is written at a constant bitrate: 0.6 is 192 kbps at 32 kHz and up.
// Opus 0.235 is about 64 kbps a channel (128 for stereo). Ogg Vorbis has a variable
// bitrate: 0.5, about 85 kbps a channel, sounds as good as 192 kbps MP3.
[[nodiscard]] std::optional<double> defaultQuality(int format);
[[nodiscard]] bool isMpeg(int format);

// Bits per sample of a fixed-point subtype that gets dither (8, 16 or 24), else 0.
[[nodiscard]] int ditheredBits(int format);
// True when the format stores samples as integers, so that values past full scale clip.
[[nodiscard]] bool isFixedPoint(int format);

}  // namespace lfrender
