// The layout script's functions of the toolkit. Each runs inside a protected call;
// arguments are all checked before anything is created, so a Lua error never leaves a
// half-made object behind.

#include "editor/toolkit/LuaGuiFunctions.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/Label.h"
#include "editor/toolkit/LuaGui.h"
#include "editor/toolkit/LuaGuiSupport.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/NamedGroup.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/TextureRecord.h"
#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaScriptFunctions.h"

#include <iterator>
#include <vector>

namespace QN {
namespace {

using namespace luagui;

NamedGroup* groupAt(lua_State* L, int index) { return static_cast<NamedGroup*>(objectAt(L, index, kGroup)); }

// ---- colours and banner ------------------------------------------------------------

int setGroupActiveColour(lua_State* L)
{
    const int b = lastArguments(L, 4);
    NamedGroup::setActiveColour({numberAt(L, b), numberAt(L, b + 1), numberAt(L, b + 2), numberAt(L, b + 3)});
    return 0;
}

int setGroupInactiveColour(lua_State* L)
{
    const int b = lastArguments(L, 4);
    NamedGroup::setInactiveColour({numberAt(L, b), numberAt(L, b + 1), numberAt(L, b + 2), numberAt(L, b + 3)});
    return 0;
}

int setBackgroundColour(lua_State* L)
{
    const int b = lastArguments(L, 3);
    const float r = numberAt(L, b), g = numberAt(L, b + 1), bl = numberAt(L, b + 2);
    managerOf(L).setBackgroundColour(r, g, bl);
    return 0;
}

int setBannerColour(lua_State* L)
{
    const float r = numberAt(L, 1), g = numberAt(L, 2), b = numberAt(L, 3), a = numberAt(L, 4);
    managerOf(L).setBannerColour(r, g, b, a);
    return 0;
}

int setBannerTextColour(lua_State* L)
{
    Manager::setBannerTextColour(numberAt(L, 1), numberAt(L, 2), numberAt(L, 3), numberAt(L, 4));
    return 0;
}

int setBannerPosition(lua_State* L)
{
    const float y = numberAt(L, 1);
    const bool showVersion = !(lua_isboolean(L, 2) && !lua_toboolean(L, 2));
    managerOf(L).setBannerPosition(y, showVersion);
    return 0;
}

int redrawLabels(lua_State* L)
{
    managerOf(L).requestStaticRedraw();
    return 0;
}

// ---- elements ----------------------------------------------------------------------

int group(lua_State* L)
{
    const char* name = luaL_checkstring(L, lua_gettop(L) > 0 ? lua_gettop(L) : 1);
    Manager& manager = buildingManagerOf(L);
    auto* created = manager.make<NamedGroup>(name);
    manager.root().add(created);
    pushObject(L, created, kGroup);
    return 1;
}

int knob(lua_State* L)
{
    const int b = lastArguments(L, 5);
    const int parameter = parameterAt(L, b, false);
    const char* label = luaL_checkstring(L, b + 1);
    const float x = numberAt(L, b + 2), y = numberAt(L, b + 3), size = numberAt(L, b + 4);
    buildingManagerOf(L);
    pushObject(L, builderOf(L).createKnob(L, parameter, label, x, y, size), kElement);
    return 1;
}

int slider(lua_State* L)
{
    const int parameter = parameterAt(L, 1, false);
    const float x = numberAt(L, 2), y = numberAt(L, 3), w = numberAt(L, 4), h = numberAt(L, 5);
    const char* orientation = luaL_checkstring(L, 6);
    if (orientation[0] != 'h' && orientation[0] != 'v') luaL_error(L, "unknown slider orientation: %s", orientation);
    buildingManagerOf(L);
    pushObject(L, builderOf(L).createSlider(L, parameter, x, y, w, h, orientation[0] == 'h'), kElement);
    return 1;
}

int button(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    const char* label = luaL_checkstring(L, 2);
    const float x = numberAt(L, 3), y = numberAt(L, 4), w = numberAt(L, 5), h = numberAt(L, 6);
    buildingManagerOf(L);
    const auto* actions = builderOf(L).buttonActions();
    if (!actions) luaL_error(L, "no button lookup table");
    const auto entry = actions->find(name);
    if (entry == actions->end()) luaL_error(L, "button not found: %s", name);
    UIElement* created = builderOf(L).createButton(L, label, entry->second.action, x, y, w, h, entry->second.hoverId);
    pushObject(L, created, kElement);
    return 1;
}

int luaButton(lua_State* L)
{
    if (!lua_isfunction(L, 1)) luaL_error(L, "first argument to luaButton() is not a function");
    const char* label = luaL_checkstring(L, 2);
    const char* tooltip = luaL_checkstring(L, 3);
    const char* type = luaL_checkstring(L, 4);
    const float x = numberAt(L, 5), y = numberAt(L, 6), w = numberAt(L, 7), h = numberAt(L, 8);
    Manager& manager = buildingManagerOf(L);
    LuaGui& builder = builderOf(L);
    lua_pushvalue(L, 1);
    LuaGui::LuaButtonCallback* callback = &builder.addLuaButtonCallback(L);
    const int hoverId = manager.hoverTexts().registerText(tooltip);
    UIElement* created = builder.createLuaButton(
        L, label, [callback] { callback->builder->runLuaButton(*callback); }, x, y, w, h, hoverId, type[0] == 't');
    pushObject(L, created, kElement);
    return 1;
}

// The history and A/B actions (EditAction), by the names skins use.
EditAction editActionAt(lua_State* L, int index)
{
    const char* name = luaL_checkstring(L, index);
    const EditAction action = editActionNamed(name);
    if (action == EditAction::None) luaL_error(L, "unknown edit action: %s", name);
    return action;
}

const char* editActionTooltip(EditAction action)
{
    switch (action) {
    case EditAction::Undo: return "Undo (Ctrl+Z)";
    case EditAction::Redo: return "Redo (Ctrl+Shift+Z, Ctrl+Y)";
    case EditAction::SwitchAB: return "Switch between settings A and B (Ctrl+B)";
    case EditAction::CopyAToB: return "Copy setting A to B (Ctrl+Shift+B)";
    case EditAction::CopyBToA: return "Copy setting B to A (Ctrl+Alt+B)";
    case EditAction::None: break;
    }
    return "";
}

int editButton(lua_State* L)
{
    const EditAction action = editActionAt(L, 1);
    const char* label = luaL_checkstring(L, 2);
    const float x = numberAt(L, 3), y = numberAt(L, 4), w = numberAt(L, 5), h = numberAt(L, 6);
    Manager& manager = buildingManagerOf(L);
    const int hoverId = manager.hoverTexts().registerText(editActionTooltip(action));
    UIElement* created = builderOf(L).createButton(
        L, label, [&manager, action] { (void)manager.parameters().perform(action); }, x, y, w, h, hoverId);
    pushObject(L, created, kElement);
    return 1;
}

int editAction(lua_State* L)
{
    const EditAction action = editActionAt(L, 1);
    lua_pushboolean(L, managerOf(L).parameters().perform(action));
    return 1;
}

int shownSetting(lua_State* L)
{
    lua_pushstring(L, managerOf(L).parameters().abCompare().shown() == AbCompare::Slot::A ? "A" : "B");
    return 1;
}

int dropDown(lua_State* L)
{
    const int parameter = parameterAt(L, 1, false);
    const float x = numberAt(L, 2), y = numberAt(L, 3), w = numberAt(L, 4), h = numberAt(L, 5);
    buildingManagerOf(L);
    pushObject(L, builderOf(L).createDropDown(L, parameter, x, y, w, h), kElement);
    return 1;
}

int label(lua_State* L)
{
    const char* text = luaL_checkstring(L, 1);
    const float x = numberAt(L, 2), y = numberAt(L, 3), w = numberAt(L, 4), h = numberAt(L, 5);
    pushObject(L, buildingManagerOf(L).make<Label>(text, x, y, w, h), kElement);
    return 1;
}

int add(lua_State* L)
{
    UIElement* element = elementArgument(L, 1);
    buildingManagerOf(L).root().add(element);
    return 0;
}

// ---- textures and fonts ------------------------------------------------------------

int texture(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    Manager& manager = buildingManagerOf(L);
    LuaGui& builder = builderOf(L);
    TextureRecord* record = nullptr;
    if (!builder.skinFolder().empty()) {
        record = manager.addTexture(builder.skinFolder() + "/Contents/Resources/" + name, 0);
    } else {
        const auto found = builder.resources().find(name);
        if (found == builder.resources().end()) luaL_error(L, "failed to find texture in resouce id lookup");
        record = manager.addTexture("", found->second);
    }
    pushObject(L, record, kTexture);
    return 1;
}

// Nothing of this frame outlives it, so the caller may raise Lua errors afterwards.
Font* addRequestedFont(LuaGui& builder, Manager& manager)
{
    std::unique_ptr<Font> loaded = builder.loadRequestedFont();
    return loaded ? manager.addExtraFont(std::move(loaded)) : nullptr;
}

int font(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    Manager& manager = buildingManagerOf(L);
    LuaGui& builder = builderOf(L);
    lua_pushvalue(L, 1);
    Font* loaded = nullptr;
    if (protectedCall(L, 0, 1, LuaErrorPolicy::Silent)) {
        builder.readFontList(L);  // pops the result
        loaded = addRequestedFont(builder, manager);
    }
    pushObject(L, loaded, kFont);
    return 1;
}

// ---- parameters --------------------------------------------------------------------

int setParameter(lua_State* L)
{
    const int index = parameterAt(L, 1, true);
    const float value = numberAt(L, 2);
    const bool notify = lua_gettop(L) < 3 || lua_toboolean(L, 3);
    Manager& manager = managerOf(L);
    const ControlParameterInfo& info = manager.parameters().parameterInfo(index);
    if (!notify) {
        manager.parameters().setParameterQuietly(info, value);
        return 0;
    }
    manager.parameters().beginGesture(index);
    manager.parameters().setParameterFromControl(info, value);
    manager.parameters().endGesture(index);
    return 0;
}

int getParameter(lua_State* L)
{
    const int index = parameterAt(L, 1, true);
    lua_pushnumber(L, builderOf(L).plugin().plainValue(index));
    return 1;
}

int getParameterID(lua_State* L)
{
    lua_pushnumber(L, parameterAt(L, 1, false));
    return 1;
}

// ---- methods -----------------------------------------------------------------------

int groupAdd(lua_State* L)
{
    NamedGroup* target = groupAt(L, 1);
    UIElement* element = elementArgument(L, 2);
    buildingManagerOf(L);
    target->add(element);
    return 0;
}

int groupSetPosition(lua_State* L)
{
    const int top = lua_gettop(L);
    if (top < 3) luaL_error(L, "setPosition needs x and y");
    NamedGroup* target = groupAt(L, top - 2);
    target->setPosition(numberAt(L, top - 1), numberAt(L, top));
    return 0;
}

Box boundsOf(NamedGroup* target)
{
    Box box;
    target->getBounds(box);
    return box.isEmpty() ? Box::of(0, 0, 0, 0) : box;
}

int groupWidth(lua_State* L)
{
    lua_pushnumber(L, boundsOf(groupAt(L, lua_gettop(L) > 0 ? lua_gettop(L) : 1)).width());
    return 1;
}

int groupHeight(lua_State* L)
{
    lua_pushnumber(L, boundsOf(groupAt(L, lua_gettop(L) > 0 ? lua_gettop(L) : 1)).height());
    return 1;
}

int groupBounds(lua_State* L)
{
    const Box box = boundsOf(groupAt(L, 1));
    lua_pushnumber(L, box.minX), lua_pushnumber(L, box.minY);
    lua_pushnumber(L, box.maxX), lua_pushnumber(L, box.maxY);
    return 4;
}

int groupSetVisible(lua_State* L)
{
    groupAt(L, 1)->setVisible(lua_toboolean(L, 2) != 0);
    return 0;
}

int groupIsVisible(lua_State* L)
{
    lua_pushboolean(L, groupAt(L, 1)->isVisible());
    return 1;
}

int elementSetVisible(lua_State* L)
{
    elementArgument(L, 1)->setVisible(lua_toboolean(L, 2) != 0);
    return 0;
}

int elementIsVisible(lua_State* L)
{
    lua_pushboolean(L, elementArgument(L, 1)->isVisible());
    return 1;
}

// No element of this product keeps an on/off state of its own.
int elementSetState(lua_State* L)
{
    (void)elementArgument(L, 1);
    return 0;
}

int elementGetState(lua_State* L)
{
    (void)elementArgument(L, 1);
    lua_pushboolean(L, 0);
    return 1;
}

const luaL_Reg kGroupMethods[] = {{"add", guarded<groupAdd>},           {"setPosition", guarded<groupSetPosition>},
                                  {"width", guarded<groupWidth>},       {"height", guarded<groupHeight>},
                                  {"bounds", guarded<groupBounds>},     {"setVisible", guarded<groupSetVisible>},
                                  {"isVisible", guarded<groupIsVisible>}, {nullptr, nullptr}};
const luaL_Reg kElementMethods[] = {{"setVisible", guarded<elementSetVisible>}, {"isVisible", guarded<elementIsVisible>},
                                    {"setState", guarded<elementSetState>},     {"getState", guarded<elementGetState>},
                                    {nullptr, nullptr}};

}  // namespace

void registerBuilderFunctions(lua_State* L)
{
    const luaL_Reg globals[] = {
        {"setGroupActiveColour", guarded<setGroupActiveColour>},
        {"setGroupInactiveColour", guarded<setGroupInactiveColour>},
        {"group", guarded<group>},
        {"knob", guarded<knob>},
        {"button", guarded<button>},
        {"slider", guarded<slider>},
        {"luaButton", guarded<luaButton>},
        {"texture", guarded<texture>},
        {"font", guarded<font>},
        {"dropDown", guarded<dropDown>},
        {"label", guarded<label>},
        {"add", guarded<add>},
        {"setBackgroundColour", guarded<setBackgroundColour>},
        {"setBannerColour", guarded<setBannerColour>},
        {"setBannerTextColour", guarded<setBannerTextColour>},
        {"setBannerPosition", guarded<setBannerPosition>},
        {"redrawLabels", guarded<redrawLabels>},
        {"setParameter", guarded<setParameter>},
        {"getParameter", guarded<getParameter>},
        {"getParameterID", guarded<getParameterID>},
        {"sendOSC", guarded<script::sendOSC>},
        {"editButton", guarded<editButton>},
        {"editAction", guarded<editAction>},
        {"shownSetting", guarded<shownSetting>},
    };
    luagui::registerGlobals(L, globals, static_cast<int>(std::size(globals)));
    createMetatable(L, kGroup, kGroupMethods);
    createMetatable(L, kElement, kElementMethods);
    createMetatable(L, kTexture, nullptr);
    createMetatable(L, kFont, nullptr);
}

}  // namespace QN
