#include "editor/product/PresetPanel.h"

#include "editor/product/PanelShapes.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/TextElision.h"
#include "engine/scripting/UserPresets.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace {

constexpr char kEnter = 13, kEscape = 27, kBackspace = 8;
constexpr float kHeight = PresetPanel::kPad * 2 + PresetPanel::kVisibleRows * PresetPanel::kRowHeight +
                          PresetPanel::kGap * 3 + PresetPanel::kLineHeight * 2 + PresetPanel::kRowHeight * 2;
constexpr int kButtonCount = 4;

// The longest start of text that fits width, broken after a word, and the rest.
std::pair<std::string, std::string> splitToFit(const QN::Font& font, const std::string& text, float width)
{
    if (font.measureText(text) <= width) return {text, ""};
    std::size_t cut = text.rfind(' ');
    while (cut != std::string::npos && cut > 0 && font.measureText(std::string_view(text).substr(0, cut)) > width) {
        cut = text.rfind(' ', cut - 1);
    }
    if (cut == std::string::npos || cut == 0) return {QN::elideMiddle(font, text, width), ""};
    return {text.substr(0, cut), text.substr(cut + 1)};
}

using PanelShapes::fill;
using PanelShapes::outline;

}  // namespace

PresetPanel::PresetPanel(QN::Manager& manager, PresetLibrary library) : UIElement(manager), library_(library)
{
    view_.current = library_.currentName();
}

void PresetPanel::open(const QN::Box& menuBox)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        view_.menuBox = menuBox;
        view_.firstRow = 0;
        view_.status.clear();
    }
    armedDelete_.clear();
    pressed_ = {};
    reloadEntries({});
    manager().openModal(this);
}

void PresetPanel::close() { manager().closeModal(); }

bool PresetPanel::isOpen() const { return manager().modal() == this; }

std::string PresetPanel::currentName() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return view_.current;
}

std::string PresetPanel::statusText() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return view_.status;
}

std::string PresetPanel::typedName() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return view_.typed;
}

PresetPanel::View PresetPanel::copyView() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return view_;
}

// ---- geometry ----------------------------------------------------------------------

QN::Box PresetPanel::panelBoxUnder(const QN::Box& menuBox, float windowWidth, float windowHeight)
{
    const float width = std::max(kWidth, menuBox.width());
    const float left = std::clamp(menuBox.minX, 0.0f, std::max(0.0f, windowWidth - width));
    float top = menuBox.minY;
    if (top - kHeight < 0) top = menuBox.maxY + kHeight;  // no room below: above the box
    top = std::clamp(top, std::min(kHeight, windowHeight), windowHeight);
    return QN::Box::of(left, top - kHeight, left + width, top);
}

QN::Box PresetPanel::partIn(const QN::Box& panel, Part part, int row)
{
    const float left = panel.minX + kPad, right = panel.maxX - kPad;
    const float listBottom = panel.maxY - kPad - kVisibleRows * kRowHeight;
    const float fieldTop = listBottom - kGap, buttonTop = fieldTop - kLineHeight - kGap;
    const float buttonWidth = (right - left - kGap * (kButtonCount - 1)) / kButtonCount;
    const auto button = [&](int i) {
        const float x = left + static_cast<float>(i) * (buttonWidth + kGap);
        return QN::Box::of(x, buttonTop - kLineHeight, x + buttonWidth, buttonTop);
    };
    switch (part) {
    case Part::Row: {
        const float top = panel.maxY - kPad - static_cast<float>(row) * kRowHeight;
        return QN::Box::of(left, top - kRowHeight, right, top);
    }
    case Part::Field: return QN::Box::of(left, fieldTop - kLineHeight, right, fieldTop);
    case Part::Save: return button(0);
    case Part::Rename: return button(1);
    case Part::Delete: return button(2);
    case Part::Close: return button(3);
    case Part::None: break;
    }
    return QN::Box{};
}

QN::Box PresetPanel::panelBox() const
{
    QN::Box menuBox;
    {
        // Only the menu's box: the whole view (every preset's name) is not copied per frame.
        std::lock_guard<std::mutex> lock(lock_);
        menuBox = view_.menuBox;
    }
    return panelBoxUnder(menuBox, static_cast<float>(manager().width()), static_cast<float>(manager().height()));
}

QN::Box PresetPanel::boxOf(Part part, int row) const { return partIn(panelBox(), part, row); }

PresetPanel::Hit PresetPanel::hitAt(QN::Point point) const
{
    const QN::Box panel = panelBox();
    for (int row = 0; row < kVisibleRows; ++row) {
        if (partIn(panel, Part::Row, row).contains(point)) return {Part::Row, row};
    }
    for (Part part : {Part::Field, Part::Save, Part::Rename, Part::Delete, Part::Close}) {
        if (partIn(panel, part, 0).contains(point)) return {part, 0};
    }
    return {};
}

// ---- input -------------------------------------------------------------------------

void PresetPanel::mouseDown(QN::Point point, int)
{
    // A click outside the panel closes it.
    if (!panelBox().contains(point)) {
        close();
        return;
    }
    pressed_ = hitAt(point);
}

void PresetPanel::mouseUp(QN::Point point, int)
{
    const Hit hit = hitAt(point);
    const Hit pressed = pressed_;
    pressed_ = {};
    if (hit == pressed) act(hit);  // a click counts where it started and ended
}

void PresetPanel::act(const Hit& hit)
{
    // Delete waits for a second click in a row; anything else disarms it.
    if (hit.part != Part::Delete) armedDelete_.clear();
    switch (hit.part) {
    case Part::Row: choose(copyView().firstRow + hit.row); break;
    case Part::Save: save(); break;
    case Part::Rename: renameChosen(); break;
    case Part::Delete: deleteChosen(); break;
    case Part::Close: close(); break;
    case Part::Field:
    case Part::None: break;
    }
}

bool PresetPanel::scrollWheel(QN::Point, int steps)
{
    std::lock_guard<std::mutex> lock(lock_);
    const int last = std::max(0, static_cast<int>(view_.entries.size()) - kVisibleRows);
    view_.firstRow = std::clamp(view_.firstRow - steps, 0, last);
    return true;
}

bool PresetPanel::keyChar(char c)
{
    if (c == kEscape) {
        close();
        return true;
    }
    if (c == kEnter) {
        save();
        return true;
    }
    std::lock_guard<std::mutex> lock(lock_);
    if (c == kBackspace) {
        if (!view_.typed.empty()) view_.typed.pop_back();
    } else if (std::isprint(static_cast<unsigned char>(c)) && view_.typed.size() < QN::UserPresets::kMaxFileNameBytes) {
        view_.typed += c;
    } else {
        return false;
    }
    return true;
}

// ---- actions -----------------------------------------------------------------------

void PresetPanel::choose(int entry)
{
    const View view = copyView();
    if (entry < 0 || entry >= static_cast<int>(view.entries.size())) return;
    const PresetLibrary::Entry& chosen = view.entries[static_cast<std::size_t>(entry)];
    std::string error;
    // A preset load is one undo step over every value.
    manager_.parameters().changeWholeSetting([&] { error = library_.load(chosen); });
    {
        std::lock_guard<std::mutex> lock(lock_);
        view_.chosen = error.empty() ? entry : -1;
        // A user preset's name is ready to be renamed or saved over.
        if (error.empty() && !chosen.isFactory()) view_.typed = chosen.name;
    }
    report(error, "Loaded " + chosen.name);
}

void PresetPanel::save()
{
    const std::string name = typedName();
    const std::string error = library_.save(name);
    if (error.empty()) reloadEntries(name);
    report(error, "Saved " + name);
}

std::string PresetPanel::chosenUserPreset()
{
    const View view = copyView();
    if (view.chosen >= 0 && view.chosen < static_cast<int>(view.entries.size())) {
        const PresetLibrary::Entry& entry = view.entries[static_cast<std::size_t>(view.chosen)];
        if (!entry.isFactory()) return entry.name;
    }
    report("choose one of your presets first", "");
    return {};
}

void PresetPanel::renameChosen()
{
    const std::string from = chosenUserPreset();
    if (from.empty()) return;
    const std::string to = typedName();
    const std::string error = library_.rename(from, to);
    if (error.empty()) reloadEntries(to);
    report(error, "Renamed " + from + " to " + to);
}

void PresetPanel::deleteChosen()
{
    const std::string name = chosenUserPreset();
    if (name.empty()) return;
    if (armedDelete_ != name) {
        armedDelete_ = name;
        report("", "Click Delete again to delete " + name);
        return;
    }
    armedDelete_.clear();
    const std::string error = library_.remove(name);
    if (error.empty()) reloadEntries({});
    report(error, "Deleted " + name);
}

void PresetPanel::report(const std::string& error, const std::string& done)
{
    const std::string current = library_.currentName();
    std::lock_guard<std::mutex> lock(lock_);
    view_.status = error.empty() ? done : error;
    view_.statusIsError = !error.empty();
    view_.current = current;
}

// The list again from the presets folder, with chosenName's user preset chosen.
void PresetPanel::reloadEntries(const std::string& chosenName)
{
    std::vector<PresetLibrary::Entry> entries = PresetLibrary::entries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const PresetLibrary::Entry& entry) {
        return !entry.isFactory() && entry.name == chosenName;
    });
    const int chosen = found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
    const std::string current = library_.currentName();
    std::lock_guard<std::mutex> lock(lock_);
    view_.entries = std::move(entries);
    view_.chosen = chosen;
    view_.current = current;
    const int last = std::max(0, static_cast<int>(view_.entries.size()) - kVisibleRows);
    view_.firstRow = std::clamp(view_.firstRow, 0, last);
}

// ---- drawing -----------------------------------------------------------------------

void PresetPanel::drawTop()
{
    const View view = copyView();
    const QN::Box panel = panelBox();
    glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
    fill(panel);
    glColor3f(0.2f, 0.2f, 0.22f);
    outline(panel);
    const QN::Font* font = manager().textFieldFont() ? manager().textFieldFont() : manager().mainFont();
    if (!font) return;
    drawRows(*font, view);
    drawControls(*font, view);
}

void PresetPanel::drawRows(const QN::Font& font, const View& view) const
{
    const QN::Box panel = panelBox();
    for (int row = 0; row < kVisibleRows; ++row) {
        const int entry = view.firstRow + row;
        if (entry >= static_cast<int>(view.entries.size())) break;
        const PresetLibrary::Entry& preset = view.entries[static_cast<std::size_t>(entry)];
        const QN::Box box = partIn(panel, Part::Row, row);
        if (entry == view.chosen) {
            glColor3f(0.35f, 0.35f, 0.4f);
            fill(box);
        }
        const float grey = entry == view.chosen ? 1.0f : 0.1f;
        glColor3f(grey, grey, grey);
        const std::string text = preset.isFactory() ? preset.name + "  (factory)" : preset.name;
        font.drawText(QN::elideMiddle(font, text, box.width() - 4), box.minX + 2, box.minY + 3);
    }
}

void PresetPanel::drawControls(const QN::Font& font, const View& view) const
{
    const QN::Box panel = panelBox();
    const QN::Box field = partIn(panel, Part::Field, 0);
    glColor3f(0.8f, 0.8f, 0.85f);
    fill(field);
    glColor3f(0.1f, 0.1f, 0.1f);
    font.drawText(QN::elideMiddle(font, view.typed + "_", field.width() - 4), field.minX + 2, field.minY + 4);
    const std::pair<Part, const char*> buttons[] = {
        {Part::Save, "Save"}, {Part::Rename, "Rename"}, {Part::Delete, "Delete"}, {Part::Close, "Close"}};
    for (const auto& [part, label] : buttons) {
        const QN::Box box = partIn(panel, part, 0);
        glColor3f(0.35f, 0.35f, 0.47f);
        fill(box);
        glColor3f(0.95f, 0.95f, 0.95f);
        font.drawText(label, box.centre().x - font.measureText(label) / 2, box.minY + 4);
    }
    const float statusTop = partIn(panel, Part::Save, 0).minY - kGap;
    if (view.statusIsError) {
        glColor3f(0.6f, 0.05f, 0.05f);
    } else {
        glColor3f(0.1f, 0.1f, 0.1f);
    }
    const float width = panel.width() - 2 * kPad;
    const auto [first, rest] = splitToFit(font, view.status, width);
    font.drawText(first, panel.minX + kPad, statusTop - kRowHeight + 3);
    font.drawText(QN::elideMiddle(font, rest, width), panel.minX + kPad, statusTop - 2 * kRowHeight + 3);
}
