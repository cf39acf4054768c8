#pragma once

#include <string>

namespace QN {

// What the banner shows for a hovered parameter.
struct ParameterReadout {
    std::string name;
    std::string value;
    std::string label;
    std::string info;

    // "-18.06 dB": the label once, even when the value text already ends with it.
    [[nodiscard]] std::string valueWithLabel() const
    {
        const bool labelled = value.size() >= label.size() && value.compare(value.size() - label.size(), label.size(), label) == 0;
        return label.empty() || labelled ? value : value + " " + label;
    }
    // The whole read-out on one line, its parts two spaces apart (the floating tooltip).
    [[nodiscard]] std::string line() const
    {
        std::string text = name + "  " + valueWithLabel();
        return info.empty() ? text : text + "  " + info;
    }
};

}  // namespace QN
