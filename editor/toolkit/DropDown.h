#pragma once

#include "editor/toolkit/Control.h"

#include <atomic>
#include <string>
#include <vector>

namespace QN {

// A control that picks one of an indexed parameter's values from a menu. The press
// opens the menu with the current item exactly over the control (kept inside the
// window), dragging highlights items (item 0 at the top), and the release inside the
// menu selects the highlighted one. Subclasses draw it.
class DropDown : public Control {
public:
    static constexpr std::size_t kMaxItemLength = 127;

    // Where the open menu lies, in window and in parent coordinates.
    struct Menu {
        float left = 0, bottom = 0, width = 0, height = 0;
        float parentLeft = 0, parentBottom = 0;
        float itemHeight = 0;
    };

    DropDown(Manager& manager, int parameterIndex, float x, float y, float width, float height);

    void mouseDown(Point point, int modifiers) override;
    void mouseDrag(Point point, int modifiers) override;
    void mouseUp(Point point, int modifiers) override;

    [[nodiscard]] const std::vector<std::string>& items() const { return items_; }
    // The item the parameter's value stands for, limited to the list; -1 without items.
    [[nodiscard]] int currentItem() const;
    // -1 while the menu is closed.
    [[nodiscard]] int highlighted() const { return highlighted_.load(std::memory_order_acquire); }
    // Valid while highlighted() is not -1. Called on: GUI or render thread.
    [[nodiscard]] Menu menu() const { return menu_; }

private:
    void placeMenu();
    [[nodiscard]] bool insideMenu(Point point) const;

    std::vector<std::string> items_;
    Menu menu_;
    std::atomic<int> highlighted_{-1};
};

}  // namespace QN
