#pragma once
// A control that records what the manager does to it.

#include "editor/toolkit/Control.h"

#include <string>
#include <vector>

class RecordingControl : public QN::Control {
public:
    RecordingControl(QN::Manager& manager, int index, QN::Box rect) : Control(manager, index, rect) {}

    void mouseDown(QN::Point p, int modifiers) override
    {
        events.push_back("down " + describe(p, modifiers));
        Control::mouseDown(p, modifiers);
    }
    void mouseDrag(QN::Point p, int modifiers) override { events.push_back("drag " + describe(p, modifiers)); }
    void mouseUp(QN::Point p, int modifiers) override
    {
        events.push_back("up " + describe(p, modifiers));
        Control::mouseUp(p, modifiers);
    }
    void mouseEnter() override
    {
        events.push_back("enter");
        Control::mouseEnter();
    }
    void mouseExit() override
    {
        events.push_back("exit");
        Control::mouseExit();
    }
    void valueChanged(const QN::ControlParameterInfo& info, float value) override
    {
        values.push_back(value);
        Control::valueChanged(info, value);
    }

    std::vector<std::string> events;
    std::vector<float> values;

private:
    static std::string describe(QN::Point p, int modifiers)
    {
        return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y)) + " " +
               std::to_string(modifiers);
    }
};
