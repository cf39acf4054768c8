#include "editor/product/PreferencesPanel.h"

#include "editor/product/PanelShapes.h"
#include "editor/product/PluginLuaGui.h"
#include "editor/toolkit/EditorScale.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/GlHeaders.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/TextElision.h"
#include "engine/osc/OscAccessPreferences.h"
#include "platform/PreferenceStore.h"
#include "platform/UserFolders.h"
#include "Version.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace {

// The panel is laid out in dialog units of the original design: 1.5 pixels across and
// 1.625 pixels down per unit, 200 by 227 units (the design's 193, two rows for the OSC
// access switches and one for the zoom; the skin's row fills the options frame's foot).
constexpr float kUnitX = 1.5f, kUnitY = 1.625f;
constexpr float kWidthUnits = 200.0f, kHeightUnits = 227.0f;
constexpr std::size_t kMaxPortDigits = 5;
constexpr char kEnter = 13, kEscape = 27, kBackspace = 8;

using PanelShapes::fill;
using PanelShapes::outline;

}  // namespace

PreferencesPanel::PreferencesPanel(QN::Manager& manager, Actions actions)
    : UIElement(manager), actions_(std::move(actions))
{
    const auto define = [this](std::size_t i, Part part, const char* label, const char* preference,
                               int defaultValue, bool display) {
        Switch& option = switches_[i];
        option.part = part, option.label = label, option.preference = preference;
        option.defaultValue = defaultValue, option.display = display;
    };
    define(0, Part::EyeCandy, "Eye candy", "Enable eye candy", 1, true);
    define(1, Part::ConstantRedraw, "Constant redraw", "Enable constant redraw", 1, true);
    define(2, Part::FloatingTooltip, "Floating tooltip", "Enable floating tooltip", 0, true);
    define(3, Part::OscReplyToAnyHost, "OSC replies to any host", QN::OscAccessPreferences::kReplyToAnyHost, 0,
           false);
    define(4, Part::OscAllowRemoteScripts, "OSC Lua calls from other machines",
           QN::OscAccessPreferences::kAllowRemoteScripts, 0, false);
}

void PreferencesPanel::open()
{
    for (Switch& option : switches_) {
        option.on.store(platform::readPreferenceInt(option.preference, option.defaultValue) != 0);
    }
    {
        std::lock_guard<std::mutex> lock(portLock_);
        port_ = std::to_string(platform::readPreferenceInt("OSC Base Port", 7000));
    }
    const int zoom = platform::readPreferenceInt(QN::EditorScale::kZoomPreference, 100);
    zoom_.store(QN::EditorScale::isZoomStep(zoom) ? zoom : 100);
    {
        const std::string chosen = platform::readPreferenceString("Skin").value_or("");
        std::lock_guard<std::mutex> lock(skinLock_);
        skins_ = skinChoices();
        const auto found = std::find_if(skins_.begin(), skins_.end(),
                                        [&](const SkinChoice& choice) { return choice.name == chosen; });
        skin_ = found == skins_.end() ? 0 : static_cast<std::size_t>(found - skins_.begin());
        unlistedSkin_ = found == skins_.end() ? chosen : "";
    }
    pressed_ = Part::None;
    manager().openModal(this);
}

void PreferencesPanel::close() { manager().closeModal(); }

bool PreferencesPanel::isOpen() const { return manager().modal() == this; }

QN::Box PreferencesPanel::panelBox() const
{
    const float w = kWidthUnits * kUnitX, h = kHeightUnits * kUnitY;
    const float left = static_cast<float>(manager().width()) / 2 - w / 2;
    const float bottom = static_cast<float>(manager().height()) / 2 - h / 2;
    return QN::Box::of(left, bottom, left + w, bottom + h);
}

QN::Box PreferencesPanel::unitBox(float x, float y, float width, float height) const
{
    const QN::Box panel = panelBox();
    const float left = panel.minX + x * kUnitX, top = panel.maxY - y * kUnitY;
    return QN::Box::of(left, top - height * kUnitY, left + width * kUnitX, top);
}

QN::Box PreferencesPanel::boxOf(Part part) const
{
    switch (part) {
    case Part::WebButton: return unitBox(8, 48, 184, 12);
    case Part::PortField: return unitBox(87, 122, 50, 12);
    case Part::EyeCandy: return unitBox(12, 137, 176, 10);
    case Part::ConstantRedraw: return unitBox(12, 147, 176, 10);
    case Part::FloatingTooltip: return unitBox(12, 157, 176, 10);
    case Part::OscReplyToAnyHost: return unitBox(12, 167, 176, 10);
    case Part::OscAllowRemoteScripts: return unitBox(12, 177, 176, 10);
    case Part::Zoom: return unitBox(12, 187, 176, 10);
    case Part::Skin: return unitBox(12, 197, 176, 9);
    case Part::Ok: return unitBox(80, 211, 40, 12);
    case Part::None: break;
    }
    return QN::Box{};
}

PreferencesPanel::Part PreferencesPanel::partAt(QN::Point point) const
{
    for (Part part : {Part::WebButton, Part::PortField, Part::EyeCandy, Part::ConstantRedraw, Part::FloatingTooltip,
                      Part::OscReplyToAnyHost, Part::OscAllowRemoteScripts, Part::Zoom, Part::Skin, Part::Ok}) {
        if (boxOf(part).contains(point)) return part;
    }
    return Part::None;
}

std::string PreferencesPanel::portText() const
{
    std::lock_guard<std::mutex> lock(portLock_);
    return port_;
}

PreferencesPanel::Switch* PreferencesPanel::switchFor(Part part)
{
    for (Switch& option : switches_) {
        if (option.part == part) return &option;
    }
    return nullptr;
}

// ---- input -------------------------------------------------------------------------

void PreferencesPanel::mouseDown(QN::Point point, int) { pressed_ = partAt(point); }

void PreferencesPanel::mouseUp(QN::Point point, int)
{
    const Part part = partAt(point);
    const Part pressed = pressed_;
    pressed_ = Part::None;
    if (part != pressed) return;  // a click counts where it started and ended
    if (Switch* option = switchFor(part)) {
        toggle(*option);
    } else if (part == Part::Zoom) {
        stepZoom();
    } else if (part == Part::Skin) {
        stepSkin();
    } else if (part == Part::WebButton) {
        if (actions_.openUrl) actions_.openUrl(kWebAddress);
    } else if (part == Part::Ok) {
        accept();
    }
}

void PreferencesPanel::toggle(Switch& option)
{
    const bool on = !option.on.load();
    option.on.store(on);
    platform::writePreferenceInt(option.preference, on ? 1 : 0);
    if (option.display) {
        // Every open editor takes the switch from its next frame.
        QN::Manager::readDisplayPreferences();
    } else if (actions_.oscAccessChanged) {
        actions_.oscAccessChanged();
    }
}

void PreferencesPanel::stepZoom()
{
    const int zoom = QN::EditorScale::nextZoom(zoom_.load());
    zoom_.store(zoom);
    platform::writePreferenceInt(QN::EditorScale::kZoomPreference, zoom);
}

std::vector<PreferencesPanel::SkinChoice> PreferencesPanel::skinChoices()
{
    std::vector<SkinChoice> choices{{"", true}};
    for (const PluginLuaGui::BuiltInSkin& skin : PluginLuaGui::kBuiltInSkins) choices.push_back({skin.name, true});
    const std::size_t installed = choices.size();
    std::vector<std::string> names = QN::LuaGui::userSkinNames();
    names.erase(std::unique(names.begin(), names.end()), names.end());  // "X" and "X.bundle"
    for (std::string& name : names) {
        // A folder without a layout would only open the built-in one.
        std::error_code error;
        if (!std::filesystem::is_regular_file(findSkin(name) + "/Contents/Resources/gui.lua", error)) continue;
        const auto begin = choices.begin(), end = begin + static_cast<std::ptrdiff_t>(installed);
        if (std::none_of(begin, end, [&](const SkinChoice& choice) { return choice.name == name; })) {
            choices.push_back({std::move(name), false});
        }
    }
    return choices;
}

std::string PreferencesPanel::describe(const SkinChoice& choice)
{
    if (choice.name.empty()) return "Standard (installed)";
    return choice.name + (choice.installed ? " (installed)" : " (yours)");
}

std::string PreferencesPanel::skinText() const
{
    std::lock_guard<std::mutex> lock(skinLock_);
    if (!unlistedSkin_.empty()) return "Skin: " + unlistedSkin_ + " (not found)";
    if (skin_ >= skins_.size()) return "Skin: Standard (installed)";
    return "Skin: " + describe(skins_[skin_]) + ", " + std::to_string(skin_ + 1) + " of " +
           std::to_string(skins_.size());
}

void PreferencesPanel::stepSkin()
{
    std::string name;
    {
        std::lock_guard<std::mutex> lock(skinLock_);
        if (skins_.empty()) return;
        // A name that is not there starts the list again from its first entry.
        skin_ = unlistedSkin_.empty() ? (skin_ + 1) % skins_.size() : 0;
        unlistedSkin_.clear();
        name = skins_[skin_].name;
    }
    platform::writePreferenceString("Skin", name);
}

bool PreferencesPanel::keyChar(char c)
{
    if (c == kEscape) {
        close();
    } else if (c == kEnter) {
        accept();
    } else if (c == kBackspace) {
        std::lock_guard<std::mutex> lock(portLock_);
        if (!port_.empty()) port_.pop_back();
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
        std::lock_guard<std::mutex> lock(portLock_);
        if (port_.size() < kMaxPortDigits) port_ += c;
    } else {
        return false;
    }
    return true;
}

void PreferencesPanel::accept()
{
    const std::string text = portText();
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    // Only a usable UDP port is taken; anything else leaves the port as it was.
    if (error == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535 && actions_.applyPort) {
        actions_.applyPort(port);
    }
    close();
}

// ---- drawing -----------------------------------------------------------------------

void PreferencesPanel::drawTop()
{
    drawFrame();
    const QN::Font* font = manager().textFieldFont() ? manager().textFieldFont() : manager().mainFont();
    if (!font) return;
    drawTexts(*font);
    drawSwitches(*font);
    drawZoom(*font);
    drawSkin(*font);
}

void PreferencesPanel::drawFrame() const
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.45f);
    fill(QN::Box::of(0, 0, static_cast<float>(manager().width()), static_cast<float>(manager().height())));
    glDisable(GL_BLEND);
    const QN::Box panel = panelBox();
    glColor3f(0.16f, 0.14f, 0.2f);
    fill(panel);
    glColor3f(0.8f, 0.75f, 0.7f);
    outline(panel);
    glColor3f(0.5f, 0.5f, 0.7f);
    outline(unitBox(8, 110, 184, 99));
    glColor3f(0.3f, 0.27f, 0.35f);
    fill(boxOf(Part::WebButton));
    fill(boxOf(Part::Ok));
    glColor3f(0.8f, 0.8f, 0.85f);
    fill(boxOf(Part::PortField));
}

void PreferencesPanel::drawTexts(const QN::Font& font) const
{
    const auto text = [&](const std::string& s, const QN::Box& box, bool centred) {
        const float x = centred ? box.centre().x - font.measureText(s) / 2 : box.minX;
        font.drawText(s, x, box.minY + 2);
    };
    glColor3f(0.9f, 0.88f, 0.85f);
    text("Corvanne", unitBox(8, 10, 70, 10), false);
    text("Lumenfold", unitBox(8, 22, 70, 10), false);
    text(QN::version::kText, unitBox(8, 34, 70, 10), false);
    text("Preferences", unitBox(12, 106, 60, 8), false);
    text("OSC Base Port:", unitBox(12, 122, 70, 10), false);
    // A skin's larger font still keeps the address inside its button.
    const QN::Box web = boxOf(Part::WebButton);
    text(QN::elideMiddle(font, kWebAddress, web.width() - 8), web, true);
    text("OK", boxOf(Part::Ok), true);
    glColor3f(0.1f, 0.1f, 0.1f);
    const QN::Box field = boxOf(Part::PortField);
    const std::string port = portText();
    font.drawText(port, field.maxX - 3 - font.measureText(port), field.minY + 3);
}

void PreferencesPanel::drawSwitches(const QN::Font& font) const
{
    for (const Switch& option : switches_) {
        const QN::Box row = boxOf(option.part);
        const QN::Box tick = QN::Box::of(row.minX, row.minY + 2, row.minX + row.height() - 4, row.maxY - 2);
        glColor3f(0.8f, 0.8f, 0.85f);
        fill(tick);
        if (option.on.load()) {
            glColor3f(0.8f, 0.4f, 0.1f);
            fill(QN::Box::of(tick.minX + 3, tick.minY + 3, tick.maxX - 3, tick.maxY - 3));
        }
        glColor3f(0.9f, 0.88f, 0.85f);
        font.drawText(option.label, tick.maxX + 6, row.minY + 3);
    }
}

void PreferencesPanel::drawZoom(const QN::Font& font) const
{
    const QN::Box row = boxOf(Part::Zoom);
    const std::string text = "Zoom: " + std::to_string(zoom_.load()) + " % (from the next opening)";
    glColor3f(0.9f, 0.88f, 0.85f);
    font.drawText(text, row.minX, row.minY + 3);
}

void PreferencesPanel::drawSkin(const QN::Font& font) const
{
    const QN::Box row = boxOf(Part::Skin);
    glColor3f(0.9f, 0.88f, 0.85f);
    font.drawText(QN::elideMiddle(font, skinText(), row.width()), row.minX, row.minY + 2);
}
