#pragma once
// Audio as the renderer handles it: one float vector per channel plus the file facts
// needed to write the result back in the same form.

#include <vector>

namespace lfrender {

struct AudioBuffer {
    std::vector<std::vector<float>> channels;
    int sampleRate = 48000;
    int format = 0;  // libsndfile major format | subtype
};

}  // namespace lfrender
