#pragma once
// A one-line progress bar on standard error, for people watching a long render in a
// terminal. Redirected or short runs get no bar, so logs and pipes stay clean.

namespace lfrender {

class ProgressBar {
public:
    // Shown when stderr is a terminal and the render is longer than kLongRenderSeconds.
    static constexpr double kLongRenderSeconds = 10.0;
    [[nodiscard]] static bool wanted(long long frames, float sampleRate);

    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    ~ProgressBar();

    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Called on: the rendering thread.
    void update(double fraction);

private:
    bool enabled_;
    int shownPercent_ = -1;
};

}  // namespace lfrender
