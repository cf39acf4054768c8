#include "editor/toolkit/VectorMeters.h"

#include "editor/toolkit/GlHeaders.h"

#include <algorithm>
#include <cmath>

namespace QN {
namespace {

void quad(float left, float bottom, float right, float top)
{
    glVertex2f(left, bottom), glVertex2f(right, bottom);
    glVertex2f(right, top), glVertex2f(left, top);
}

}  // namespace

VectorMeters::VectorMeters(float width, float height, float floorDb, float stepDb)
    : width_(width), height_(height), floorDb_(floorDb), stepDb_(stepDb)
{
    marks_ = markHeights();
}

void VectorMeters::add(float x, float y, const std::atomic<float>* level) { meters_.push_back({x, y, level}); }

float VectorMeters::heightForDb(float db) const
{
    return std::clamp((db - floorDb_) / -floorDb_, 0.0f, 1.0f) * height_;
}

float VectorMeters::barHeight(float level) const
{
    if (!(level > 0.0f)) return 0.0f;  // NaN too
    return heightForDb(20.0f * std::log10(level));
}

std::vector<float> VectorMeters::markHeights() const
{
    std::vector<float> marks;
    for (float db = 0.0f; db > floorDb_; db -= stepDb_) marks.push_back(heightForDb(db));
    return marks;
}

void VectorMeters::drawBar(const Meter& m, float h) const
{
    const float amber = heightForDb(kAmberDb), red = heightForDb(kRedDb);
    glColor3f(0.1f, 0.85f, 0.3f);
    quad(m.x, m.y, m.x + width_, m.y + std::min(h, amber));
    if (h > amber) {
        glColor3f(1.0f, 0.75f, 0.1f);
        quad(m.x, m.y + amber, m.x + width_, m.y + std::min(h, red));
    }
    if (h > red) {
        glColor3f(1.0f, 0.2f, 0.15f);
        quad(m.x, m.y + red, m.x + width_, m.y + h);
    }
}

void VectorMeters::drawOverlay()
{
    glBegin(GL_QUADS);
    glColor3f(0.05f, 0.05f, 0.05f);
    for (const Meter& m : meters_) quad(m.x, m.y, m.x + width_, m.y + height_);
    for (const Meter& m : meters_) drawBar(m, barHeight(m.level->load(std::memory_order_relaxed)));
    // The marks cross the bar, so that the scale reads at every level; a layout pixel
    // thick at any zoom.
    glColor3f(0.6f, 0.6f, 0.62f);
    for (const Meter& m : meters_) {
        for (float mark : marks_) {
            const float y = m.y + std::min(mark, height_ - 1.0f);
            quad(m.x, y, m.x + width_, y + 1.0f);
        }
    }
    glEnd();
}

}  // namespace QN
