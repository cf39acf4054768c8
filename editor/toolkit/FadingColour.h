#pragma once

#include <array>
#include <atomic>

namespace QN {

// A colour that glides towards a target: 15 % of the way every drawn frame, so a
// change fades in over about a second. The GUI thread picks the target, the render
// thread fades and reads the current colour (which may be handed out as four floats).
class FadingColour {
public:
    using Rgba = std::array<float, 4>;

    explicit FadingColour(const Rgba& start) : current_(start) { setTarget(start); }

    // Called on: host GUI thread.
    void setTarget(const Rgba& target);
    // Called on: render thread, once per frame.
    void fade();
    [[nodiscard]] const float* current() const { return current_.data(); }

private:
    Rgba current_;
    std::array<std::atomic<float>, 4> target_;
};

}  // namespace QN
