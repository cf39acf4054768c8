#include "editor/toolkit/TexturedMeters.h"

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/TextureRecord.h"

#include <algorithm>
#include <cmath>

namespace QN {

TexturedMeters::TexturedMeters(TextureRecord* texture, float imageX, float imageY, float width, float height)
    : texture_(texture), imageX_(imageX), imageY_(imageY), width_(width), height_(height)
{
}

void TexturedMeters::add(float x, float y, const std::atomic<float>* level) { meters_.push_back({x, y, level}); }

float TexturedMeters::barHeight(float level) const
{
    if (!(level > 0.0f)) return 0.0f;  // NaN too
    return std::min(level, 1.0f) * height_;
}

void TexturedMeters::drawOverlay()
{
    glColor4f(0.1f, 0.1f, 0.1f, 1.0f);
    glBegin(GL_QUADS);
    for (const Meter& m : meters_) {
        glVertex2f(m.x, m.y), glVertex2f(m.x + width_, m.y);
        glVertex2f(m.x + width_, m.y + height_), glVertex2f(m.x, m.y + height_);
    }
    glEnd();
    if (!texture_ || !texture_->glName() || texture_->width() <= 0 || texture_->height() <= 0) return;
    const float tw = static_cast<float>(texture_->width()), th = static_cast<float>(texture_->height());
    const float left = imageX_ / tw, right = (imageX_ + width_) / tw, bottom = (imageY_ + height_) / th;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_->glName());
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    for (const Meter& m : meters_) {
        const float h = barHeight(m.level->load(std::memory_order_relaxed));
        const float top = bottom - h / th;
        glTexCoord2f(left, bottom), glVertex2f(m.x, m.y);
        glTexCoord2f(right, bottom), glVertex2f(m.x + width_, m.y);
        glTexCoord2f(right, top), glVertex2f(m.x + width_, m.y + h);
        glTexCoord2f(left, top), glVertex2f(m.x, m.y + h);
    }
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace QN
