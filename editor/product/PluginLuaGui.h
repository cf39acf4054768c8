#pragma once

#include "editor/toolkit/LuaGui.h"

#include <array>
#include <functional>

namespace QN {
class PluginConnection;
}  // namespace QN

// The plug-in's layout builder: its controls (knobs, buttons, drop-downs, text fields),
// the level meters, the spectrum display, the lit background and the built-in script
// and images. The "Prefs" button runs openPreferences, the "Console" button the action
// given with setConsoleAction.
// Called on: host GUI thread.
class PluginLuaGui : public QN::LuaGui {
public:
    static constexpr int kScriptResource = 135;
    static constexpr int kFlatSkinResource = 137;  // resources/flat.lua
    // A skin carried inside the plug-in (resources/), so that it loads wherever the plug-in
    // does; the "Skin" preference names it like a skin of the user's.
    struct BuiltInSkin {
        const char* name;
        int scriptResource;
    };
    static constexpr std::array<BuiltInSkin, 1> kBuiltInSkins{{{"Flat", kFlatSkinResource}}};

    PluginLuaGui(QN::PluginConnection& plugin, std::function<void()> openPreferences,
                 Layout layout = Layout::Preferred);

    void buildUI(QN::Manager& manager) override;
    QN::UIElement* createKnob(lua_State* L, int parameter, const char* label, float x, float y, float size) override;
    QN::UIElement* createSlider(lua_State* L, int parameter, float x, float y, float width, float height,
                                bool horizontal) override;
    QN::UIElement* createButton(lua_State* L, const char* label, std::function<void()> action, float x, float y,
                                float width, float height, int hoverId) override;
    QN::UIElement* createLuaButton(lua_State* L, const char* label, std::function<void()> action, float x, float y,
                                   float width, float height, int hoverId, bool toggle) override;
    QN::UIElement* createDropDown(lua_State* L, int parameter, float x, float y, float width, float height) override;
    void registerElementTypes() override;
    void setConsoleAction(std::function<void()> openConsole) { openConsole_ = std::move(openConsole); }

private:
    std::function<void()> openPreferences_;
    std::function<void()> openConsole_;
};
