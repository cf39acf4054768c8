#pragma once

#include "editor/toolkit/UIElement.h"

#include <functional>

// The preset menu a skin places (presetMenu): a box in the drop-down's colours showing
// the current preset's name; a click opens the preset panel below it.
// Threads: clicked on the host GUI thread, drawn on the render thread.
class PresetMenu : public QN::UIElement {
public:
    using Text = std::function<std::string()>;
    using Open = std::function<void(const QN::Box& menuBox)>;

    // currentName is read on the render thread each frame; open runs at the release.
    PresetMenu(QN::Manager& manager, const QN::Box& rect, Text currentName, Open open);

    void draw() override;
    void drawStatic(QN::Font& font) override;
    void getBounds(QN::Box& box) override { box.include(rect_); }
    QN::UIElement* hitTest(QN::Point point) override { return rect_.contains(point) ? this : nullptr; }
    void mouseUp(QN::Point point, int modifiers) override;

private:
    QN::Box rect_;
    Text currentName_;
    Open open_;
};
