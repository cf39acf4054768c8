#pragma once

namespace QN {

// A position in editor coordinates: window pixels, origin at the bottom-left, y upwards.
struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

}  // namespace QN
