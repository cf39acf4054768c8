#include "tools/render/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace lfrender {
namespace {
constexpr int kBarWidth = 40;
}

bool ProgressBar::wanted(long long frames, float sampleRate)
{
    return isatty(STDERR_FILENO) && static_cast<double>(frames) > kLongRenderSeconds * sampleRate;
}

ProgressBar::~ProgressBar()
{
    if (enabled_ && shownPercent_ >= 0) std::fputc('\n', stderr);
}

void ProgressBar::update(double fraction)
{
    if (!enabled_) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

}  // namespace lfrender
