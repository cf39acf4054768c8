#pragma once
// Reading and writing audio files through libsndfile (WAV, FLAC, AIFF). Every failure
// throws RenderError with a one-line reason.

#include "tools/render/AudioBuffer.h"

#include <string>

namespace lfrender {

inline constexpr int kMaxChannels = 2;

[[nodiscard]] AudioBuffer readAudioFile(const std::string& path);

// libsndfile major format named by the extension (.wav, .flac, .aiff, .aif), else 0.
[[nodiscard]] int majorFormatForExtension(const std::string& path);

// The format to write outputPath in: the input's own format when there is an input
// (moved to another container when OUT's extension names one), otherwise the
// extension's default (32-bit float for WAV, 24-bit for FLAC and AIFF).
[[nodiscard]] int outputFormatFor(const std::string& outputPath, const AudioBuffer* input);

// Writes buffer (sample rate and format taken from it) to an open descriptor, which
// stays open; displayName is used in error messages.
void writeAudioFile(int fd, const std::string& displayName, const AudioBuffer& buffer);

}  // namespace lfrender
