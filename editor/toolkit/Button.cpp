#include "editor/toolkit/Button.h"

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"

namespace QN {

Button::Button(Manager& manager, std::string label, Action action, float x, float y, float width, float height,
               int hoverId)
    : UIElement(manager),
      label_(std::move(label)),
      action_(std::move(action)),
      rect_(Box::of(x, y, x + width, y + height)),
      hoverId_(hoverId)
{
}

void Button::draw()
{
    glColor3f(0, 1, 0);
    glBegin(GL_LINE_LOOP);
    glVertex2f(rect_.minX, rect_.minY);
    glVertex2f(rect_.maxX, rect_.minY);
    glVertex2f(rect_.maxX, rect_.maxY);
    glVertex2f(rect_.minX, rect_.maxY);
    glEnd();
}

void Button::mouseUp(Point, int)
{
    if (action_) action_();
}

void Button::mouseEnter()
{
    manager_.setHoveredId(hoverId_);
    manager_.setTooltipElement(this);
}

void Button::mouseExit() { manager_.clearHoveredId(hoverId_); }

}  // namespace QN
