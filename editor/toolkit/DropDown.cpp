#include "editor/toolkit/DropDown.h"

#include "editor/toolkit/Manager.h"
#include "editor/toolkit/PluginConnection.h"

#include <algorithm>
#include <cmath>

namespace QN {

DropDown::DropDown(Manager& manager, int parameterIndex, float x, float y, float width, float height)
    : Control(manager, parameterIndex, Box::of(x, y, x + width, y + height))
{
    items_ = manager.plugin().valueStrings(parameterIndex);
    for (std::string& item : items_) {
        if (item.size() > kMaxItemLength) item.resize(kMaxItemLength);
    }
}

int DropDown::currentItem() const
{
    if (items_.empty() || !info().plugin) return -1;
    const float value = info().plugin->plainValue(info().index);
    const int last = static_cast<int>(items_.size()) - 1;
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::clamp(value, 0.0f, static_cast<float>(last)));
}

void DropDown::placeMenu()
{
    const Box box = absoluteBounds();
    const float n = static_cast<float>(items_.size());
    Menu m;
    m.itemHeight = box.height();
    m.left = box.minX;
    m.width = box.width();
    m.height = n * m.itemHeight;
    m.bottom = box.minY - (n - static_cast<float>(currentItem()) - 1) * m.itemHeight;
    const float windowHeight = static_cast<float>(manager_.height());
    if (m.bottom < 0) {
        m.bottom = 0;
    } else if (m.bottom + m.height > windowHeight) {
        m.bottom -= m.bottom + m.height - windowHeight;
    }
    // The parent's coordinates follow the window placement, kept inside the window.
    m.parentLeft = rect().minX;
    m.parentBottom = rect().minY + (m.bottom - box.minY);
    menu_ = m;
}

void DropDown::mouseDown(Point point, int modifiers)
{
    if (!items_.empty()) {
        placeMenu();
        highlighted_.store(currentItem(), std::memory_order_release);
    }
    Control::mouseDown(point, modifiers);
}

void DropDown::mouseDrag(Point point, int)
{
    if (highlighted() < 0) return;
    const Menu& m = menu_;
    if (point.x < m.left || point.x > m.left + m.width || point.y < m.bottom || point.y > m.bottom + m.height) return;
    const int item = static_cast<int>(std::floor((m.height - (point.y - m.bottom)) / m.itemHeight));
    highlighted_.store(std::clamp(item, 0, static_cast<int>(items_.size()) - 1), std::memory_order_release);
}

bool DropDown::insideMenu(Point point) const
{
    const Menu& m = menu_;
    return m.left <= point.x && point.x < m.left + m.width && m.bottom <= point.y && point.y < m.bottom + m.height;
}

void DropDown::mouseUp(Point point, int modifiers)
{
    const int item = highlighted();
    if (item >= 0 && insideMenu(point)) manager_.parameters().setParameterFromControl(info(), static_cast<float>(item));
    highlighted_.store(-1, std::memory_order_release);
    Control::mouseUp(point, modifiers);
}

}  // namespace QN
