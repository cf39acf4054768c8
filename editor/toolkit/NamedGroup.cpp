#include "editor/toolkit/NamedGroup.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/StaticText.h"

#include <mutex>

namespace QN {
namespace {

std::mutex coloursLock;
FadingColour::Rgba sharedActive{0.5f, 0.8f, 1.0f, 0.6f};
FadingColour::Rgba sharedInactive{0.5f, 0.5f, 0.5f, 0.5f};

}  // namespace

void NamedGroup::setActiveColour(const FadingColour::Rgba& colour)
{
    std::lock_guard<std::mutex> lock(coloursLock);
    sharedActive = colour;
}

void NamedGroup::setInactiveColour(const FadingColour::Rgba& colour)
{
    std::lock_guard<std::mutex> lock(coloursLock);
    sharedInactive = colour;
}

FadingColour::Rgba NamedGroup::activeColour()
{
    std::lock_guard<std::mutex> lock(coloursLock);
    return sharedActive;
}

FadingColour::Rgba NamedGroup::inactiveColour()
{
    std::lock_guard<std::mutex> lock(coloursLock);
    return sharedInactive;
}

NamedGroup::NamedGroup(Manager& manager, std::string name)
    : Group(manager), name_(std::move(name)), colour_(inactiveColour())
{
}

void NamedGroup::getBounds(Box& box)
{
    Box children;
    for (UIElement* child : this->children()) child->getBounds(children);
    if (children.isEmpty()) return;
    children = children.movedBy(x(), y(), z());
    children.minX -= kPadding, children.minY -= kPadding;
    children.maxX += kPadding, children.maxY += kPadding;
    box.include(children);
}

UIElement* NamedGroup::hitTest(Point point)
{
    if (UIElement* hit = Group::hitTest(point)) return hit;
    if (!isVisible() || !manager().isHoverHitTestRunning()) return nullptr;
    // The frame counts as the group, so that it stays lit between its controls.
    Box frame;
    getBounds(frame);
    return frame.contains(point) ? this : nullptr;
}

void NamedGroup::mouseEnter() { colour_.setTarget(activeColour()); }

void NamedGroup::mouseExit() { colour_.setTarget(inactiveColour()); }

void NamedGroup::prepare()
{
    const Box box = absoluteBounds();
    Box frame;
    getBounds(frame);  // in the parent's coordinates, where draw() runs
    float nameWidth = 0.0f;
    if (const Font* font = manager().mainFont()) {
        nameWidth = font->measureText(name_);
        nameEntry_ = manager().staticText().add(name_, box.minX + kPadding,
                                                box.maxY - font->lineHeight() / 2 - font->descender(),
                                                colour_.current());
        manager().staticText().setVisible(nameEntry_, isVisible());
    }
    outline_ = {frame.minX + kPadding, frame.maxY, frame.minX, frame.maxY, frame.minX, frame.minY,
                frame.maxX, frame.minY, frame.maxX, frame.maxY, frame.minX + kPadding + nameWidth, frame.maxY};
}

void NamedGroup::draw()
{
    if (!isVisible()) return;
    Group::draw();
    colour_.fade();
    glColor4fv(colour_.current());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, outline_.data());
    glDrawArrays(GL_LINE_STRIP, 0, 6);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
}

void NamedGroup::setVisible(bool visible)
{
    Group::setVisible(visible);
    if (nameEntry_ >= 0) manager().staticText().setVisible(nameEntry_, visible);
}

}  // namespace QN
