#pragma once

#include "editor/toolkit/Control.h"
#include "editor/toolkit/NumericFormat.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace QN {

// A control that shows its parameter's value as text and takes a typed number: digits,
// one point, a leading minus and backspace (without a skin's format also letters and
// spaces after the first character, for "-inf" and "-6 dB"); enter sets the value (one
// begin/end edit pair), losing the focus abandons the typing. At most 15 characters.
// Subclasses draw it.
class TextField : public Control {
public:
    static constexpr int kMaxCharacters = 15;

    TextField(Manager& manager, int parameterIndex, const std::string& format, const Box& rect);

    void mouseDown(Point point, int modifiers) override;
    bool keyChar(char c) override;
    void loseFocus() override;

    // The text as shown: the typed characters while editing, else the value.
    [[nodiscard]] std::string text() const;
    [[nodiscard]] bool isEditing() const;
    // Refreshes the shown value when it changed and re-measures the text with measure.
    // Answers the text's width. Called on: render thread.
    float refresh(const std::function<float(const std::string&)>& measure);

private:
    void commit();
    [[nodiscard]] std::string valueText(float value) const;

    std::optional<NumericFormat> format_;
    mutable std::mutex textLock_;  // the render thread reads what the GUI thread types
    std::string buffer_;
    int editIndex_ = -1;
    float lastShown_ = 1e30f;
    int measuredEditIndex_ = -1;
    float width_ = 0.0f;
};

}  // namespace QN
