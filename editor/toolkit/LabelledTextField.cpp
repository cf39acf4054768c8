#include "editor/toolkit/LabelledTextField.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"

namespace QN {
namespace {

constexpr float kLabelHeight = 10.0f;

void fill(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

}  // namespace

LabelledTextField::LabelledTextField(Manager& manager, int parameterIndex, const std::string& format,
                                     std::string label, float x, float y, float width, float height)
    : TextField(manager, parameterIndex, format, Box::of(x, y, x + width, y + height)), label_(std::move(label))
{
}

void LabelledTextField::getBounds(Box& box)
{
    Box grown = rect();
    if (!label_.empty()) grown.minY -= kLabelHeight;
    box.include(grown);
}

void LabelledTextField::draw()
{
    Font* font = manager().textFieldFont();
    if (!font) return;
    const float width = refresh([font](const std::string& text) { return font->measureText(text); });
    const Box& r = rect();
    glColor3f(0.8f, 0.8f, 0.85f);
    fill(r.minX, r.minY, r.maxX, r.maxY);
    if (manager().focus() == this) {
        if (isEditing()) {
            glColor3f(1.0f, 0.8f, 0.8f);
        } else {
            glColor3f(0.8f, 1.0f, 0.8f);
        }
        fill(r.minX + 1, r.minY + 1, r.maxX - 1, r.maxY - 1);
    }
    glColor3f(0.1f, 0.1f, 0.1f);
    const float room = r.maxX - r.minX - 2;
    if (width <= room || width <= 0.0f) {
        font->drawText(text(), r.maxX - 1 - width, r.minY + 2);
        return;
    }
    // A value wider than its field ("-160.0" in a knob-wide field) is narrowed to fit
    // rather than losing its sign or digits past the field's edge.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(r.minX + 1, r.minY + 2, 0.0f);
    glScalef(room / width, 1.0f, 1.0f);
    font->drawText(text(), 0.0f, 0.0f);
    glPopMatrix();
}

void LabelledTextField::drawStatic(Font& font)
{
    if (label_.empty()) return;
    const Box box = absoluteBounds();
    const float cx = box.centre().x, cy = box.centre().y, g = box.height() / 2;
    const float w = font.measureText(label_), l = font.lineHeight();
    const float y = cy + 5 - g / 2 - l;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.1f, 0.1f, 0.15f, 0.7f);
    fill(cx - (w + 4) / 2, y - 3, cx + (w + 4) / 2, y - 3 + l);
    glDisable(GL_BLEND);
    glColor4f(0.9f, 0.9f, 0.9f, 0.6f);
    font.drawText(label_, cx - w / 2, y);
}

}  // namespace QN
