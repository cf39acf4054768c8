#include "editor/toolkit/PembKnob.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/KnobRenderer.h"

#include <algorithm>
#include <cmath>

namespace QN {
namespace {
constexpr float kTravel = 3.0f * static_cast<float>(M_PI) / 4.0f;
constexpr float kLabelHeight = 5.0f;
}  // namespace

PembKnob::PembKnob(Manager& manager, int parameterIndex, std::string label, KnobRenderer& renderer, float x,
                   float y, float size)
    : Control(manager, parameterIndex, Box::of(x, y, x + size, y + size)),
      label_(std::move(label)),
      renderer_(renderer),
      instance_(renderer.addInstance())
{
    // Relative semitones turn in whole steps.
    if (static_cast<int>(info().unit) == 10) setStepped(true);
}

float PembKnob::angleFor(float position) { return (2.0f * position - 1.0f) * kTravel + static_cast<float>(M_PI) / 2; }

void PembKnob::mouseDown(Point point, int modifiers)
{
    const ControlParameterInfo& i = info();
    // The gesture opens first so that a host recording touch automation sees the change.
    Control::mouseDown(point, modifiers);
    if (modifiers & ModifierAlt) {
        manager_.parameters().setParameterFromControl(i, i.defaultValue);
        readPosition();
    } else if (isStepped() && i.minValue == 0.0f && i.maxValue == 1.0f && i.plugin) {
        manager_.parameters().setParameterFromControl(i, 1.0f - i.plugin->plainValue(i.index));
        readPosition();
    }
    showPosition();
    press_ = point;
    pressPosition_ = position();
}

float PembKnob::snapToWholeUnits(float p) const
{
    const float range = info().maxValue - info().minValue;
    if (range == 0.0f) return p;
    return (std::floor(range * p + info().minValue + 0.5f) - info().minValue) / range;
}

void PembKnob::mouseDrag(Point point, int modifiers)
{
    const float sensitivity = (modifiers & ModifierShift) ? kFineSensitivity : kDragSensitivity;
    float p = std::clamp(pressPosition_ + sensitivity * (point.y - press_.y), 0.0f, 1.0f);
    if (modifiers & ModifierControl) p = snapToWholeUnits(p);
    setPosition(p);
    float plain = plainFor(p);
    if (isStepped()) {
        const float range = info().maxValue - info().minValue;
        plain = std::floor(range * p + info().minValue + 0.5f);
        setPosition(range == 0.0f ? 0.0f : (plain - info().minValue) / range);
    }
    showPosition();
    manager_.parameters().setParameterFromControl(info(), plain);
}

float PembKnob::plainFor(float p) const
{
    const ControlParameterInfo& i = info();
    if (i.unit == ParameterUnit::Hertz && i.minValue > 0.0f) return i.minValue * std::pow(i.maxValue / i.minValue, p);
    return (i.maxValue - i.minValue) * p + i.minValue;
}

void PembKnob::valueChanged(const ControlParameterInfo& i, float value)
{
    Control::valueChanged(i, value);
    showPosition();
}

void PembKnob::showPosition() { renderer_.setAngle(instance_, angleFor(position())); }

void PembKnob::getBounds(Box& box)
{
    Box square = rect();
    if (!label_.empty()) square.maxY += kLabelHeight;
    box.include(square);
}

void PembKnob::prepare()
{
    Box box = absoluteBounds();
    // The knob sits in its square; a label only widens the box upwards.
    if (!label_.empty()) box.maxY -= kLabelHeight;
    renderer_.setCentre(instance_, box.centre().x, box.centre().y, box.width() / 2);
    showPosition();
}

void PembKnob::drawStatic(Font& font)
{
    if (label_.empty()) return;
    const Box box = absoluteBounds();
    glColor4f(0.52f, 0.55f, 0.5f, 1.0f);
    font.drawText(label_, box.centre().x - font.measureText(label_) / 2,
                  box.centre().y - box.height() / 4 - font.lineHeight());
}

void PembKnob::setVisible(bool visible)
{
    Control::setVisible(visible);
    renderer_.setVisible(instance_, visible);
}

}  // namespace QN
