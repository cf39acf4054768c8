#pragma once

#include "editor/toolkit/Box.h"
#include "editor/toolkit/ControlParameterInfo.h"
#include "editor/toolkit/Point.h"

#include <atomic>

namespace QN {

class Font;
class Group;
class Manager;

// Base of everything the editor shows. Owned by its manager, which makes it (Manager::make).
// The render thread calls the drawing and preparation operations; the host GUI thread
// calls the mouse, key and value operations. The render thread reads element state
// without locks, once per frame.
class UIElement {
public:
    explicit UIElement(Manager& manager) : manager_(manager) {}
    virtual ~UIElement() = default;
    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    // Overlay-pass drawing in the parent's coordinates. Called on: render thread.
    virtual void draw() {}
    // Drawing above the effects (open menus). Called on: render thread.
    virtual void drawTop() {}
    // Grows box by the element's extent in the parent's coordinates. Called on: any editor thread.
    virtual void getBounds(Box&) {}
    virtual void mouseDown(Point, int) {}
    virtual void mouseDrag(Point, int) {}
    virtual void mouseUp(Point, int) {}
    virtual void mouseEnter() {}
    virtual void mouseExit() {}
    // The bound parameter changed. Called on: host GUI thread.
    virtual void valueChanged(const ControlParameterInfo&, float) {}
    // The element at the point (parent's coordinates), or null.
    virtual UIElement* hitTest(Point) { return nullptr; }
    // Once on the render thread after GL set-up; prepareLate after every element's prepare.
    virtual void prepare() {}
    virtual void prepareLate() {}
    // Drawing into the static layer with the label font. Called on: render thread.
    virtual void drawStatic(Font&) {}
    // The wheel turned steps notches (positive up) over the element; true when it used them.
    virtual bool scrollWheel(Point, int) { return false; }
    // True when the character was consumed.
    virtual bool keyChar(char) { return false; }
    virtual void loseFocus() {}
    virtual void setVisible(bool visible) { visible_.store(visible, std::memory_order_relaxed); }

    [[nodiscard]] bool isVisible() const { return visible_.load(std::memory_order_relaxed); }
    [[nodiscard]] Manager& manager() const { return manager_; }
    [[nodiscard]] Group* parent() const { return parent_; }
    void setParent(Group* parent) { parent_ = parent; }
    // getBounds moved by the positions of every group above the element.
    [[nodiscard]] Box absoluteBounds();

protected:
    Manager& manager_;

private:
    Group* parent_ = nullptr;
    std::atomic<bool> visible_{true};
};

}  // namespace QN
