#pragma once

#include <array>
#include <string>
#include <vector>

namespace QN {

// How many window pixels one layout pixel takes: the screen's density times the user's
// "Zoom" preference. Layouts, skins and every element work in layout pixels; the window,
// the viewport, the static layer and the fonts' rasters are made at the scaled size.
//
// The density comes from the first source that is set: the LUMENFOLD_SCALE environment
// variable (a number from 1 to 4), GDK_SCALE (a whole number from 1 to 4), the X
// server's "Xft.dpi" resource (24 to 960 dots per inch, 96 being 1, rounded to quarters
// and kept from 1 to 4). A value that fails its check counts as 1, with one line saying
// so; so does a "Zoom" that is not one of kZoomSteps.
//
// Called on: host GUI thread (when the editor opens or the host asks for its size).
class EditorScale {
public:
    static constexpr float kMaxScale = 4.0f;
    static constexpr std::array<int, 4> kZoomSteps{100, 125, 150, 200};
    static constexpr const char* kZoomPreference = "Zoom";

    struct Sources {
        std::string lumenfoldScale;  // empty when unset
        std::string gdkScale;
        std::string xftDpi;
        int zoomPercent = 100;
    };

    // The scale for these sources; each complaint is one line of text (no "Error: ").
    [[nodiscard]] static float resolve(const Sources& sources, std::vector<std::string>* complaints);
    // The scale from the environment, the X server and the preference store; complaints
    // go to standard error.
    [[nodiscard]] static float current();
    // The scale lowered, when needed, so that the scaled window stays within maxSide.
    [[nodiscard]] static float fitted(float scale, int width, int height, int maxSide);
    // round(length * scale), at least 1.
    [[nodiscard]] static int scaled(int length, float scale);
    // The zoom step after percent (the last wraps to the first); 100 after an unknown one.
    [[nodiscard]] static int nextZoom(int percent);
    [[nodiscard]] static bool isZoomStep(int percent);

private:
    [[nodiscard]] static float density(const Sources& sources, std::vector<std::string>* complaints);
};

}  // namespace QN
