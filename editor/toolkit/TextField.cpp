#include "editor/toolkit/TextField.h"

#include "editor/toolkit/Manager.h"
#include "editor/toolkit/ManagerPlatformBridge.h"
#include "editor/toolkit/PluginConnection.h"

#include <cctype>
#include <charconv>
#include <functional>

namespace QN {
namespace {

constexpr char kEnter = 13;
constexpr char kEnterAlternative = 3;
constexpr char kBackspace = 8;

// One number and nothing else, '.' as the point whatever the locale.
std::optional<float> parseNumber(const std::string& text)
{
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

TextField::TextField(Manager& manager, int parameterIndex, const std::string& format, const Box& rect)
    : Control(manager, parameterIndex, rect), format_(NumericFormat::parse(format))
{
}

void TextField::mouseDown(Point point, int modifiers)
{
    if (ManagerPlatformBridge* bridge = manager_.bridge()) bridge->takeKeyboardFocus();
    Control::mouseDown(point, modifiers);
    manager_.setFocus(this);
}

bool TextField::keyChar(char c)
{
    std::unique_lock<std::mutex> lock(textLock_);
    const bool editing = editIndex_ >= 0;
    if (c == kEnter || c == kEnterAlternative) {
        // Typed in the unit the field shows; a skin's own number format shows plain values.
        const bool plainNumber = format_ || !info().plugin;
        const std::optional<float> plain = !editing    ? std::nullopt
                                           : plainNumber ? parseNumber(buffer_)
                                                         : info().plugin->plainFromTyped(info().index, buffer_);
        if (!plain) return true;
        editIndex_ = measuredEditIndex_ = -1;
        lastShown_ = 1e30f;  // show the plug-in's text for the new value
        lock.unlock();
        manager_.parameters().beginGesture(info().index);
        manager_.parameters().setParameterFromControl(info(), *plain);
        manager_.parameters().endGesture(info().index);
        return true;
    }
    if (c == kBackspace) {
        if (editing) {
            buffer_.pop_back();
            --editIndex_;
            if (editIndex_ < 0) lastShown_ = 1e30f;  // nothing typed any more: show the value again
        }
        return true;
    }
    if (c == '-') {
        if (!editing) {
            buffer_.assign(1, '-');
            editIndex_ = 0;
        }
        return true;
    }
    // A field in the plug-in's own unit also takes its words and unit once typing has
    // begun ("-inf", "-6 dB"); a skin's number format takes numbers only.
    const bool wordCharacter = editing && !format_ && info().plugin &&
                               (c == ' ' || std::isalpha(static_cast<unsigned char>(c)));
    if (c != '.' && !std::isdigit(static_cast<unsigned char>(c)) && !wordCharacter) return false;
    // The first digit or point replaces the shown value; until then it stays.
    if (!editing) buffer_.clear();
    if (c == '.' && buffer_.find('.') != std::string::npos) return true;
    if (editIndex_ <= kMaxCharacters - 2) {
        buffer_ += c;
        ++editIndex_;
    }
    return true;
}

void TextField::loseFocus()
{
    std::lock_guard<std::mutex> lock(textLock_);
    editIndex_ = measuredEditIndex_ = -1;
    lastShown_ = 1e30f;
}

std::string TextField::text() const
{
    std::lock_guard<std::mutex> lock(textLock_);
    return buffer_;
}

bool TextField::isEditing() const
{
    std::lock_guard<std::mutex> lock(textLock_);
    return editIndex_ >= 0;
}

std::string TextField::valueText(float value) const
{
    std::string text = info().plugin ? info().plugin->controlText(info().index) : std::string();
    // Words such as "Off" stay as the plug-in says them.
    const bool word = !text.empty() && std::isalpha(static_cast<unsigned char>(text[0]));
    if (format_ && !word) text = format_->format(static_cast<double>(value));
    if (text.size() > static_cast<std::size_t>(kMaxCharacters)) text.resize(static_cast<std::size_t>(kMaxCharacters));
    return text;
}

float TextField::refresh(const std::function<float(const std::string&)>& measure)
{
    const float value = info().plugin ? info().plugin->plainValue(info().index) : 0.0f;
    std::lock_guard<std::mutex> lock(textLock_);
    if (editIndex_ < 0 && value != lastShown_) {
        lastShown_ = value;
        buffer_ = valueText(value);
        width_ = measure(buffer_);
    } else if (editIndex_ >= 0 && editIndex_ != measuredEditIndex_) {
        measuredEditIndex_ = editIndex_;
        width_ = measure(buffer_);
    }
    return width_;
}

}  // namespace QN
