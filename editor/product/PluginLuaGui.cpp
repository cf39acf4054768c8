#include "editor/product/PluginLuaGui.h"

#include "editor/product/PluginLuaGuiFunctions.h"
#include "editor/product/TKDropDown.h"
#include "editor/toolkit/Font.h"
#include "editor/toolkit/LuaGuiSupport.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/PembButton.h"
#include "editor/toolkit/PembKnob.h"
#include "editor/toolkit/KnobRenderer.h"

namespace {
constexpr int kPreferencesHoverId = -2;
constexpr int kCapturePresetHoverId = -3;
constexpr int kConsoleHoverId = -4;

int registerPluginFunctions(lua_State* L)
{
    registerPluginGuiFunctions(L);
    return 0;
}
}  // namespace

PluginLuaGui::PluginLuaGui(QN::PluginConnection& plugin, std::function<void()> openPreferences, Layout layout)
    : LuaGui(plugin, layout), openPreferences_(std::move(openPreferences))
{
    addResource("buttons.png", 120);
    addResource("bgtile.png", 121);
    addResource("buttons_n.png", 122);
    addResource("bgtile_n.png", 123);
    addResource("gui.lua", kScriptResource);
    for (const BuiltInSkin& skin : kBuiltInSkins) addBuiltInSkin(skin.name, skin.scriptResource);
}

void PluginLuaGui::registerElementTypes() { addElementType(QN::luagui::kWaveformDisplay); }

void PluginLuaGui::buildUI(QN::Manager& manager)
{
    setManager(&manager);
    // Whatever the script does, the window is never 0 x 0.
    manager.setSize(kBuiltInWidth, kBuiltInHeight);
    setBuilding(true);
    if (luaState() && !skinFailed()) {
        // A skin that names only its main font gets it for labels and values too: without a
        // label font nothing of the static layer (labels, the display's grid) would be drawn.
        const auto orMainFont = [this](std::unique_ptr<QN::Font> font) {
            return font ? std::move(font) : loadFontFrom("getFont");
        };
        auto textField = orMainFont(loadFontFrom("getTextFieldFont"));
        auto label = orMainFont(loadFontFrom("getLabelFont"));
        auto main = loadFontFrom("getFont");
        manager.setFonts(std::move(main), std::move(label), std::move(textField));
        manager.hoverTexts().enter(kPreferencesHoverId, "Preferences");
        manager.hoverTexts().enter(kCapturePresetHoverId, "Capture preset");
        manager.hoverTexts().enter(kConsoleHoverId, "Script console");
        setButtonActions({{"Prefs", {openPreferences_, kPreferencesHoverId}},
                          {"Console", {openConsole_ ? openConsole_ : [] {}, kConsoleHoverId}}});
        if (enter(registerPluginFunctions, nullptr)) runLayout();
        clearButtonActions();
    }
    setBuilding(false);
    checkLayoutMade();
}

QN::UIElement* PluginLuaGui::createKnob(lua_State* L, int parameter, const char* label, float x, float y, float size)
{
    lua_getglobal(L, "theKnobRenderer");
    auto* renderer = static_cast<QN::KnobRenderer*>(QN::luagui::objectAt(L, -1, QN::luagui::kKnobRenderer));
    lua_pop(L, 1);
    if (!renderer) luaL_error(L, "couldn't get theKnobRenderer");
    return manager()->make<QN::PembKnob>(parameter, label, *renderer, x, y, size);
}

QN::UIElement* PluginLuaGui::createSlider(lua_State* L, int, float, float, float, float, bool)
{
    luaL_error(L, "no slider support");
    return nullptr;
}

QN::UIElement* PluginLuaGui::createButton(lua_State*, const char* label, std::function<void()> action, float x,
                                          float y, float width, float height, int hoverId)
{
    return manager()->make<QN::PembButton>(label, std::move(action), x, y, width, height, hoverId);
}

// Toggle buttons look and act like push buttons here.
QN::UIElement* PluginLuaGui::createLuaButton(lua_State* L, const char* label, std::function<void()> action, float x,
                                             float y, float width, float height, int hoverId, bool)
{
    return createButton(L, label, std::move(action), x, y, width, height, hoverId);
}

QN::UIElement* PluginLuaGui::createDropDown(lua_State*, int parameter, float x, float y, float width, float height)
{
    return manager()->make<TKDropDown>(parameter, x, y, width, height);
}
