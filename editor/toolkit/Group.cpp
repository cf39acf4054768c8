#include "editor/toolkit/Group.h"

#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"

namespace QN {

void Group::draw()
{
    glPushMatrix();
    glTranslatef(x_, y_, z_);
    for (UIElement* child : children_) child->draw();
    glPopMatrix();
}

void Group::drawTop()
{
    glPushMatrix();
    glTranslatef(x_, y_, z_);
    for (UIElement* child : children_) child->drawTop();
    glPopMatrix();
}

void Group::getBounds(Box& box)
{
    Box children;
    for (UIElement* child : children_) child->getBounds(children);
    box.include(children.movedBy(x_, y_, z_));
}

UIElement* Group::hitTest(Point point)
{
    if (!isVisible()) return nullptr;
    const Point inside{point.x - x_, point.y - y_};
    for (UIElement* child : children_) {
        if (UIElement* hit = child->hitTest(inside)) return hit;
    }
    if (manager_.isHoverHitTestRunning() && ownRect_.contains(point)) return this;
    return nullptr;
}

void Group::setVisible(bool visible)
{
    UIElement::setVisible(visible);
    for (UIElement* child : children_) child->setVisible(visible);
}

void Group::add(UIElement* child)
{
    children_.push_back(child);
    child->setParent(this);
    child->setVisible(isVisible());
}

void Group::setPosition(float x, float y, float z)
{
    x_ = x;
    y_ = y;
    z_ = z;
}

}  // namespace QN
