#include "gui/toolkit/LuaGui.h"

#include "gui/toolkit/Font.h"
#include "gui/toolkit/LuaGuiFunctions.h"
#include "gui/toolkit/LuaGuiSupport.h"
#include "gui/toolkit/Manager.h"
#include "plugin/ParameterTable.h"
#include "plugin/UserFolders.h"
#include "platform/MessageOutput.h"
#include "platform/PreferenceStore.h"
#include "platform/Resources.h"
#include "scripting/LuaCall.h"
#include "scripting/LuaScriptFunctions.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace QN {
namespace {

constexpr const char* kSkinScript = "/Contents/Resources/gui.lua";

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The font list on top of the stack: { {name = ..., size = ...}, ... }. Pops it. Reads
// raw fields only: a metamethod could raise a Lua error here, outside protected mode and
// past the C++ objects this function holds.
std::vector<FontRequest> fontRequests(lua_State* L)
{
    std::vector<FontRequest> requests;
    const int count = static_cast<int>(lua_objlen(L, -1));
    for (int i = 1; i <= count; ++i) {
        lua_rawgeti(L, -1, i);  // list, entry
        if (lua_istable(L, -1)) {
            lua_pushliteral(L, "name");
            lua_rawget(L, -2);  // list, entry, name
            lua_pushliteral(L, "size");
            lua_rawget(L, -3);  // list, entry, name, size
            if (lua_type(L, -2) == LUA_TSTRING && lua_type(L, -1) == LUA_TNUMBER) {
                const double size = std::floor(lua_tonumber(L, -1) + 0.5);
                if (size > 0 && size < 1000) requests.push_back({lua_tostring(L, -2), static_cast<int>(size)});
            }
            lua_pop(L, 2);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return requests;
}

}  // namespace

LuaGui::LuaGui(PluginConnection& plugin) : plugin_(plugin)
{
    resolveSkin();
    // Table order: a name shared by several rows ("Dummy") answers the last of them.
    for (int i = 0; i < kParameterCount; ++i) parameterLookup_[parameterInfo(i).name] = i;
}

LuaGui::~LuaGui()
{
    if (state_) lua_close(state_);
}

void LuaGui::resolveSkin()
{
    skinName_ = platform::readPreferenceString("Skin").value_or("");
    if (skinName_.empty()) return;
    skinFolder_ = findSkin(skinName_);
    if (skinFolder_.empty()) return;
    std::ifstream script(skinFolder_ + kSkinScript);
    if (!script) {
        // Textures would be looked for in a folder without a layout: use the built-in one.
        platform::showError("the skin \"" + skinName_ + "\" has no readable gui.lua; using the built-in layout");
        skinFolder_.clear();
    }
}

int LuaGui::parameterIndex(const std::string& name) const
{
    const auto found = parameterLookup_.find(name);
    return found == parameterLookup_.end() ? -1 : found->second;
}

lua_State* LuaGui::luaState()
{
    if (!stateAttempted_) {
        stateAttempted_ = true;
        createState();
    }
    return state_;
}

void LuaGui::createState()
{
    lua_State* L = lua_newstate(LuaMemoryBudget::allocate, &memory_);
    if (!L) L = luaL_newstate();  // interpreters that do not take our allocator
    if (!L) {
        platform::showError("the editor's layout cannot run: Lua is not available");
        return;
    }
    state_ = L;
    luaL_openlibs(L);
    // The program's own print, as in every other Lua state of the plug-in.
    lua_pushcfunction(L, script::print);
    lua_setglobal(L, "print");
    registerGlobals(L);
    elementTypes_ = {luagui::kElement};
    registerElementTypes();
    lua_pushlightuserdata(L, this);
    lua_setfield(L, LUA_REGISTRYINDEX, luagui::kViewRefcon);
    runScript(L);
}

void LuaGui::registerGlobals(lua_State* L)
{
    registerBuilderFunctions(L);
    lua_pushboolean(L, 0), lua_setglobal(L, "isMac");
    lua_pushboolean(L, 1), lua_setglobal(L, "isWin");
    lua_pushboolean(L, 1), lua_setglobal(L, "isVST");
    lua_pushboolean(L, 0), lua_setglobal(L, "isAU");
    lua_pushnumber(L, 1), lua_setglobal(L, "majorVersion");
    lua_pushnumber(L, 0), lua_setglobal(L, "minorVersion");
    lua_pushnumber(L, 2), lua_setglobal(L, "dotVersion");
    lua_pushnumber(L, 10002), lua_setglobal(L, "version");
}

std::optional<std::string> LuaGui::scriptText() const
{
    if (!skinFolder_.empty()) return readWholeFile(skinFolder_ + kSkinScript);
    const auto id = resources_.find("gui.lua");
    if (id == resources_.end()) return std::nullopt;
    const auto resource = platform::findResource(platform::kResourceTypeScript, id->second);
    if (!resource) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(resource->data), resource->size);
}

void LuaGui::runScript(lua_State* L)
{
    const std::optional<std::string> text = scriptText();
    if (!text) {
        platform::writeDebugOutput("failed to run buffer: failed to find gui.lua in resouce id lookup\n");
        return;
    }
    LuaCallResult result;
    if (luaL_loadbuffer(L, text->data(), text->size(), "gui.lua") != 0) {
        const char* message = lua_tostring(L, -1);
        platform::writeDebugOutput((std::string("failed to run buffer: ") + (message ? message : "?") + "\n").c_str());
        lua_pop(L, 1);
        return;
    }
    if (!protectedCall(L, 0, 0, LuaErrorPolicy::KeepMessage, &result)) {
        platform::writeDebugOutput((std::string("failed to run buffer: ") + result.message + "\n").c_str());
    }
}

std::pair<int, int> LuaGui::windowSize()
{
    lua_State* L = luaState();
    if (!L) return {0, 0};
    LuaStackGuard guard(L);
    lua_getglobal(L, "getWindowSize");
    if (!protectedCall(L, 0, 2, LuaErrorPolicy::Silent)) return {0, 0};
    const auto rounded = [L](int index) {
        if (lua_type(L, index) != LUA_TNUMBER) return 0;
        const double value = std::floor(lua_tonumber(L, index) + 0.5);
        return value > 0 && value <= 4096 ? static_cast<int>(value) : 0;
    };
    return {rounded(-2), rounded(-1)};
}

std::unique_ptr<Font> LuaGui::loadFontFrom(const char* function)
{
    lua_State* L = luaState();
    if (!L) return nullptr;
    LuaStackGuard guard(L);
    lua_getglobal(L, function);
    if (!protectedCall(L, 0, 1, LuaErrorPolicy::Silent)) return nullptr;
    return fontFromList(L);
}

std::unique_ptr<Font> LuaGui::fontFromList(lua_State* L)
{
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return nullptr;
    }
    const std::vector<FontRequest> requests = fontRequests(L);
    return requests.empty() ? nullptr : Font::load(requests);
}

void LuaGui::runLayout()
{
    lua_State* L = luaState();
    if (!L) return;
    LuaStackGuard guard(L);
    const auto [width, height] = windowSize();
    manager_->setSize(width, height);
    lua_pushboolean(L, 1);
    lua_setfield(L, LUA_REGISTRYINDEX, luagui::kButtonLookup);
    lua_getglobal(L, "createUI");
    LuaCallResult result;
    if (!protectedCall(L, 0, 0, LuaErrorPolicy::KeepMessage, &result) && std::getenv("LUMENFOLD_LAYOUT_ERRORS")) {
        platform::writeDebugOutput((std::string("createUI: ") + result.message + "\n").c_str());
    }
}

void LuaGui::setButtonActions(std::map<std::string, ButtonAction> actions) { buttonActions_ = std::move(actions); }

const std::map<std::string, LuaGui::ButtonAction>* LuaGui::buttonActions() const
{
    return buttonActions_ ? &*buttonActions_ : nullptr;
}

UIElement* LuaGui::elementAt(lua_State* L, int index) const
{
    if (!lua_isuserdata(L, index) || !lua_getmetatable(L, index)) return nullptr;  // +1 on success
    UIElement* element = nullptr;
    for (const std::string& type : elementTypes_) {
        luaL_getmetatable(L, type.c_str());
        const bool same = lua_rawequal(L, -1, -2) != 0;
        lua_pop(L, 1);
        if (same) {
            void* block = lua_touserdata(L, index);
            element = lua_islightuserdata(L, index) ? static_cast<UIElement*>(block) : *static_cast<UIElement**>(block);
            break;
        }
    }
    lua_pop(L, 1);
    return element;
}

LuaGui::LuaButtonCallback& LuaGui::addLuaButtonCallback(lua_State* L)
{
    const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
    luaButtons_.push_back(std::make_unique<LuaButtonCallback>(LuaButtonCallback{this, reference}));
    return *luaButtons_.back();
}

void LuaGui::runLuaButton(const LuaButtonCallback& callback)
{
    lua_State* L = state_;
    if (!L) return;
    LuaStackGuard guard(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, callback.reference);
    (void)protectedCall(L, 0, 0, LuaErrorPolicy::Silent);
}

}  // namespace QN
