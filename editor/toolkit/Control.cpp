#include "editor/toolkit/Control.h"

#include "editor/toolkit/Manager.h"
#include "editor/toolkit/PluginConnection.h"

#include <cmath>

namespace QN {

float ControlParameterInfo::normalized(float plain) const
{
    if (unit == ParameterUnit::Hertz && minValue > 0.0f && maxValue > minValue) {
        return std::log2(plain / minValue) / std::log2(maxValue / minValue);
    }
    if (maxValue == minValue) return 0.0f;
    return (plain - minValue) / (maxValue - minValue);
}

Control::Control(Manager& manager, int parameterIndex, const Box& rect)
    : UIElement(manager), info_(manager.parameters().parameterInfo(parameterIndex)), rect_(rect)
{
    const ParameterUnit unit = info_.unit;
    stepped_ = unit == ParameterUnit::Indexed || unit == ParameterUnit::Boolean ||
               static_cast<int>(unit) == 11 /* MIDI note */ || unit == ParameterUnit::Beats;
    manager.parameters().addListener(parameterIndex, this);
}

void Control::getBounds(Box& box) { box.include(rect_); }

UIElement* Control::hitTest(Point point) { return rect_.contains(point) ? this : nullptr; }

void Control::mouseDown(Point, int) { manager_.parameters().beginGesture(info_.index); }

void Control::mouseUp(Point, int) { manager_.parameters().endGesture(info_.index); }

void Control::mouseEnter()
{
    manager_.setHoveredId(info_.index);
    manager_.setTooltipElement(this);
}

void Control::mouseExit() { manager_.clearHoveredId(info_.index); }

void Control::valueChanged(const ControlParameterInfo&, float) { readPosition(); }

void Control::readPosition()
{
    if (!info_.plugin) return;
    setPosition(info_.normalized(info_.plugin->plainValue(info_.index)));
}

}  // namespace QN
