#pragma once

#include "editor/toolkit/LevelMeters.h"

#include <vector>

namespace QN {

// Level meters drawn as flat bars on a decibel scale, with a mark at every step: green
// up to -18 dB, amber up to -6 dB, red above. A bar's height is
// (level in dB - floor) / -floor of the meter's height, 0 dB at the top.
class VectorMeters : public LevelMeters {
public:
    static constexpr float kAmberDb = -18.0f;
    static constexpr float kRedDb = -6.0f;

    // width and height in layout pixels; floorDb < 0 and stepDb > 0 (the caller checks).
    VectorMeters(float width, float height, float floorDb, float stepDb);

    void add(float x, float y, const std::atomic<float>* level) override;
    [[nodiscard]] int count() const { return static_cast<int>(meters_.size()); }

    void drawOverlay() override;

    // Height above the meter's foot for a level in dB, limited to the meter.
    [[nodiscard]] float heightForDb(float db) const;
    // The bar's height for a linear level; 0 for silence, negatives and NaN.
    [[nodiscard]] float barHeight(float level) const;
    // Heights of the scale marks, 0 dB first, down to the floor (exclusive).
    [[nodiscard]] std::vector<float> markHeights() const;

private:
    struct Meter {
        float x, y;
        const std::atomic<float>* level;
    };

    void drawBar(const Meter& meter, float height) const;

    float width_, height_, floorDb_, stepDb_;
    std::vector<Meter> meters_;
    std::vector<float> marks_;
};

}  // namespace QN
