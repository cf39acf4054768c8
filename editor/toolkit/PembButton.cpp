#include "editor/toolkit/PembButton.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/StaticText.h"

namespace QN {
namespace {
const float kLabelColour[4] = {0.8f, 0.8f, 0.8f, 1.0f};
}  // namespace

PembButton::PembButton(Manager& manager, std::string label, Action action, float x, float y, float width,
                       float height, int hoverId)
    : Button(manager, std::move(label), std::move(action), x, y, width, height, hoverId)
{
}

void PembButton::draw()
{
    fill_.fade();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(fill_.current());
    glBegin(GL_QUADS);
    glVertex2f(rect().minX, rect().minY);
    glVertex2f(rect().maxX, rect().minY);
    glVertex2f(rect().maxX, rect().maxY);
    glVertex2f(rect().minX, rect().maxY);
    glEnd();
    glDisable(GL_BLEND);
}

void PembButton::mouseEnter()
{
    fill_.setTarget(kHoverColour);
    Button::mouseEnter();
}

void PembButton::mouseExit()
{
    fill_.setTarget(kIdleColour);
    Button::mouseExit();
}

void PembButton::prepare()
{
    const Font* font = manager().mainFont();
    if (!font) return;
    const Box box = absoluteBounds();
    const float w = font->measureText(label()), l = font->lineHeight();
    manager().staticText().add(label(), box.centre().x - w / 2, box.centre().y - l / 2 - font->descender(),
                               kLabelColour);
}

}  // namespace QN
