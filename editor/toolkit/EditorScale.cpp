#include "editor/toolkit/EditorScale.h"

#include "platform/MessageOutput.h"
#include "platform/PreferenceStore.h"
#include "platform/ScreenDensity.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace QN {
namespace {

constexpr double kMinDpi = 24.0, kMaxDpi = 960.0, kBaseDpi = 96.0;
constexpr std::size_t kQuotedLength = 24;

// The whole text as one number, whatever the locale; nullopt-like NaN otherwise.
double numberOf(const std::string& text)
{
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nan("");
    return value;
}

// A value from outside, quoted for a diagnostic line: printable characters only, cut short.
std::string quoted(const std::string& text)
{
    std::string shown;
    for (char c : text.substr(0, kQuotedLength)) shown += (c >= 32 && c < 127) ? c : '?';
    if (text.size() > kQuotedLength) shown += "...";
    return "\"" + shown + "\"";
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value).substr(0, 64) : std::string();
}

float toQuarters(double value) { return static_cast<float>(std::round(value * 4.0) / 4.0); }

}  // namespace

float EditorScale::density(const Sources& sources, std::vector<std::string>* complaints)
{
    if (!sources.lumenfoldScale.empty()) {
        const double value = numberOf(sources.lumenfoldScale);
        if (value >= 1.0 && value <= kMaxScale) return static_cast<float>(value);
        complaints->push_back("LUMENFOLD_SCALE " + quoted(sources.lumenfoldScale) +
                              " is not a number from 1 to 4; the editor uses 1");
        return 1.0f;
    }
    if (!sources.gdkScale.empty()) {
        const double value = numberOf(sources.gdkScale);
        if (value >= 1.0 && value <= kMaxScale && value == std::floor(value)) return static_cast<float>(value);
        complaints->push_back("GDK_SCALE " + quoted(sources.gdkScale) +
                              " is not a whole number from 1 to 4; the editor uses 1");
        return 1.0f;
    }
    if (!sources.xftDpi.empty()) {
        const double dpi = numberOf(sources.xftDpi);
        if (dpi >= kMinDpi && dpi <= kMaxDpi) return std::clamp(toQuarters(dpi / kBaseDpi), 1.0f, kMaxScale);
        complaints->push_back("the X resource Xft.dpi " + quoted(sources.xftDpi) +
                              " is not from 24 to 960; the editor uses 1");
    }
    return 1.0f;
}

float EditorScale::resolve(const Sources& sources, std::vector<std::string>* complaints)
{
    int zoom = sources.zoomPercent;
    if (!isZoomStep(zoom)) {
        complaints->push_back("the preference Zoom=" + std::to_string(zoom) +
                              " is not 100, 125, 150 or 200; the editor uses 100");
        zoom = 100;
    }
    return std::min(kMaxScale, density(sources, complaints) * static_cast<float>(zoom) / 100.0f);
}

float EditorScale::current()
{
    Sources sources;
    sources.lumenfoldScale = environment("LUMENFOLD_SCALE");
    sources.gdkScale = environment("GDK_SCALE");
    if (sources.lumenfoldScale.empty() && sources.gdkScale.empty()) sources.xftDpi = platform::xftDpiResource();
    sources.zoomPercent = platform::readPreferenceInt(kZoomPreference, 100);
    std::vector<std::string> complaints;
    const float scale = resolve(sources, &complaints);
    for (const std::string& line : complaints) platform::showError(line);
    return scale;
}

float EditorScale::fitted(float scale, int width, int height, int maxSide)
{
    const int side = std::max({width, height, 1});
    if (scaled(side, scale) <= maxSide) return scale;
    return std::max(1.0f, std::floor(static_cast<float>(maxSide) / static_cast<float>(side) * 100.0f) / 100.0f);
}

int EditorScale::scaled(int length, float scale)
{
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(length) * scale)));
}

bool EditorScale::isZoomStep(int percent)
{
    return std::find(kZoomSteps.begin(), kZoomSteps.end(), percent) != kZoomSteps.end();
}

int EditorScale::nextZoom(int percent)
{
    const auto step = std::find(kZoomSteps.begin(), kZoomSteps.end(), percent);
    if (step == kZoomSteps.end() || step + 1 == kZoomSteps.end()) return kZoomSteps.front();
    return *(step + 1);
}

}  // namespace QN
