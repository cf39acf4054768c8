#include "editor/toolkit/VectorKnobRenderer.h"

#include "editor/toolkit/GlHeaders.h"

#include <algorithm>
#include <cmath>

namespace QN {
namespace {

constexpr float kPi = static_cast<float>(M_PI);
constexpr float kTravel = 3.0f * kPi / 4.0f;
// Segments of a whole circle: fine enough to look round at 4x, cheap enough for
// every knob every frame.
constexpr int kCircleSegments = 64;
constexpr float kTrackWidth = 0.18f;  // of the radius
constexpr float kBodyRadius = 0.72f;

// A ring between inner and outer radius from angle `from` to `to` (clockwise when to < from).
void ring(float cx, float cy, float inner, float outer, float from, float to)
{
    const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(to - from) / (2 * kPi) * kCircleSegments)));
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= steps; ++i) {
        const float a = from + (to - from) * static_cast<float>(i) / static_cast<float>(steps);
        const float c = std::cos(a), s = std::sin(a);
        glVertex2f(cx + inner * c, cy + inner * s);
        glVertex2f(cx + outer * c, cy + outer * s);
    }
    glEnd();
}

void disc(float cx, float cy, float radius)
{
    glBegin(GL_TRIANGLE_FAN);
    glVertex2f(cx, cy);
    for (int i = 0; i <= kCircleSegments; ++i) {
        const float a = 2 * kPi * static_cast<float>(i) / kCircleSegments;
        glVertex2f(cx + radius * std::cos(a), cy + radius * std::sin(a));
    }
    glEnd();
}

}  // namespace

VectorKnobRenderer::VectorKnobRenderer(float red, float green, float blue) : accent_{red, green, blue} {}

float VectorKnobRenderer::screenAngle(float radians) { return kPi - radians; }

int VectorKnobRenderer::addInstance()
{
    std::lock_guard<std::mutex> lock(lock_);
    instances_.push_back(Instance{});
    return static_cast<int>(instances_.size()) - 1;
}

void VectorKnobRenderer::setCentre(int instance, float x, float y, float radius)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (instance < 0 || instance >= instanceCount()) return;
    Instance& knob = instances_[static_cast<std::size_t>(instance)];
    knob.x = x, knob.y = y, knob.radius = radius;
}

void VectorKnobRenderer::setAngle(int instance, float radians)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (instance < 0 || instance >= instanceCount()) return;
    instances_[static_cast<std::size_t>(instance)].angle = radians;
}

void VectorKnobRenderer::setVisible(int instance, bool visible)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (instance < 0 || instance >= instanceCount()) return;
    instances_[static_cast<std::size_t>(instance)].visible = visible;
}

void VectorKnobRenderer::drawOverlay()
{
    {
        // Copied so that the GL calls run without the lock.
        std::lock_guard<std::mutex> lock(lock_);
        drawInstances_.assign(instances_.begin(), instances_.end());
    }
    for (const Instance& knob : drawInstances_) {
        if (knob.visible && knob.radius > 0) drawKnob(knob);
    }
}

void VectorKnobRenderer::drawKnob(const Instance& knob) const
{
    const float r = knob.radius, inner = r * (1 - kTrackWidth);
    const float start = kPi / 2 + kTravel, end = kPi / 2 - kTravel;
    const float pointer = screenAngle(knob.angle);
    glColor3f(0.25f, 0.25f, 0.27f);
    ring(knob.x, knob.y, inner, r, start, end);
    glColor3f(accent_[0], accent_[1], accent_[2]);
    ring(knob.x, knob.y, inner, r, start, pointer);
    glColor3f(0.12f, 0.12f, 0.13f);
    disc(knob.x, knob.y, r * kBodyRadius);
    // The pointer: a thin bar from the middle to the disc's edge.
    const float c = std::cos(pointer), s = std::sin(pointer), half = std::max(1.0f, r * 0.06f);
    const float tip = r * kBodyRadius, base = r * 0.2f;
    glColor3f(0.95f, 0.95f, 0.95f);
    glBegin(GL_QUADS);
    glVertex2f(knob.x + base * c + half * s, knob.y + base * s - half * c);
    glVertex2f(knob.x + tip * c + half * s, knob.y + tip * s - half * c);
    glVertex2f(knob.x + tip * c - half * s, knob.y + tip * s + half * c);
    glVertex2f(knob.x + base * c - half * s, knob.y + base * s + half * c);
    glEnd();
}

}  // namespace QN
