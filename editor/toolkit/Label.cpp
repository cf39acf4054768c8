#include "editor/toolkit/Label.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"

namespace QN {

Label::Label(Manager& manager, std::string text, float x, float y, float width, float height)
    : UIElement(manager), text_(std::move(text)), rect_(Box::of(x, y, x + width, y + height))
{
}

void Label::drawStatic(Font& font)
{
    if (text_.empty()) return;
    const Box box = absoluteBounds();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.1f, 0.1f, 0.15f, 0.7f);
    glBegin(GL_QUADS);
    glVertex2f(box.minX, box.minY);
    glVertex2f(box.maxX, box.minY);
    glVertex2f(box.maxX, box.maxY);
    glVertex2f(box.minX, box.maxY);
    glEnd();
    glDisable(GL_BLEND);
    glColor4f(0.9f, 0.9f, 0.9f, 0.6f);
    font.drawText(text_, box.centre().x - font.measureText(text_) / 2, box.minY + 2);
}

}  // namespace QN
