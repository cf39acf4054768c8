#pragma once

#include <cstdint>
#include <string>

namespace QN {

// One texture a layout asked for: a skin file, or a built-in image (resource type 257).
// Made on the host GUI thread; loaded, used and released on the render thread.
class TextureRecord {
public:
    TextureRecord(std::string path, int resourceId) : path_(std::move(path)), resourceId_(resourceId) {}

    // Loads the image into a GL texture once; later calls do nothing. Without a
    // usable image the record stays without a texture; a skin image that is too large
    // (file or pixels) or not a regular file also gives one line. Never throws.
    // Called on: render thread.
    void load();
    // Deletes the GL texture. Called on: render thread.
    void release();

    [[nodiscard]] unsigned glName() const { return glName_; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] int resourceId() const { return resourceId_; }
    // Loaded when first drawn rather than at GL set-up (the background tile).
    [[nodiscard]] bool loadsOnDemand() const { return onDemand_; }
    void setLoadsOnDemand(bool onDemand) { onDemand_ = onDemand; }
    [[nodiscard]] bool loadAttempted() const { return attempted_; }

private:
    std::string path_;
    int resourceId_;
    unsigned glName_ = 0;
    bool attempted_ = false;
    bool onDemand_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace QN
