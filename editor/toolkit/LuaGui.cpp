#include "editor/toolkit/LuaGui.h"

#include "editor/toolkit/Font.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/LuaGuiFunctions.h"
#include "editor/toolkit/LuaGuiSupport.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/PluginConnection.h"
#include "platform/UserFolders.h"
#include "platform/FileSystem.h"
#include "platform/PreferenceStore.h"
#include "platform/Resources.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/ScriptSandbox.h"
#include "Version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace QN {
namespace {

constexpr const char* kSkinScript = "/Contents/Resources/gui.lua";
constexpr const char* kConsoleSource = "editor layout";

// Reached only if a Lua error escaped every protection, which no entry allows; Lua ends
// the process after this returns, so at least say why.
int reportPanic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    std::fprintf(stderr, "Error: the editor's layout script failed outside protection: %s\n",
                 message ? message : "(no message)");
    return 0;
}

// A size from the script: a number that rounds to 1..kMaxSide, else 0.
int saneSide(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TNUMBER) return 0;
    const double value = std::floor(lua_tonumber(L, index) + 0.5);
    return value >= 1 && value <= LuaGui::kMaxSide ? static_cast<int>(value) : 0;
}

struct ChunkRun {
    const char* text;
    std::size_t size;
};

int runChunk(lua_State* L)
{
    const auto* chunk = static_cast<const ChunkRun*>(lua_touserdata(L, 1));
    if (luaL_loadbuffer(L, chunk->text, chunk->size, "gui.lua") != 0) return lua_error(L);
    lua_call(L, 0, 0);
    return 0;
}

struct SizeQuery {
    int width = 0;
    int height = 0;
};

int askWindowSize(lua_State* L)
{
    auto* query = static_cast<SizeQuery*>(lua_touserdata(L, 1));
    lua_getglobal(L, "getWindowSize");
    lua_call(L, 0, 2);
    query->width = saneSide(L, -2);
    query->height = saneSide(L, -1);
    return 0;
}

struct FontQuery {
    LuaGui* builder;
    const char* function;
};

int askFontList(lua_State* L)
{
    const auto* query = static_cast<const FontQuery*>(lua_touserdata(L, 1));
    lua_getglobal(L, query->function);
    lua_call(L, 0, 1);
    query->builder->readFontList(L);
    return 0;
}

int runCreateUI(lua_State* L)
{
    lua_pushboolean(L, 1);
    lua_setfield(L, LUA_REGISTRYINDEX, luagui::kButtonLookup);
    lua_getglobal(L, "createUI");
    if (lua_isnil(L, -1)) return luaL_error(L, "gui.lua defines no function createUI()");
    lua_call(L, 0, 0);
    return 0;
}

int runReference(lua_State* L)
{
    const auto* callback = static_cast<const LuaGui::LuaButtonCallback*>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, callback->reference);
    lua_call(L, 0, 0);
    return 0;
}

}  // namespace

LuaGui::LuaGui(PluginConnection& plugin, Layout layout) : plugin_(plugin), layout_(layout)
{
    // Table order: a name shared by several rows ("Dummy") answers the last of them.
    for (int i = 0; i < plugin_.parameterCount(); ++i) parameterLookup_[plugin_.parameterRow(i).name] = i;
}

LuaGui::~LuaGui()
{
    if (!state_) return;
    // Closing runs the script's finalizers (newproxy's __gc): they get the same budget.
    LuaWatchdog::Entry entry(watchdog_, state_);
    lua_close(state_);
}

void LuaGui::resolveSkin()
{
    skinName_ = platform::readPreferenceString("Skin").value_or("");
    if (skinName_.empty()) return;
    if (const auto builtIn = builtInSkins_.find(skinName_); builtIn != builtInSkins_.end()) {
        if (std::optional<std::string> text = resourceScript(builtIn->second)) {
            skinScript_ = std::move(*text);
            builtInSkin_ = true;
            return;
        }
    }
    skinFolder_ = findSkin(skinName_);
    if (skinFolder_.empty()) {
        // A misspelt name must not pass for a skin that looks like the built-in layout.
        report("Error: there is no skin \"" + skinName_ + "\" in " + skinPath("") + installedSkins() +
               "; using the built-in layout");
        return;
    }
    // Read without blocking and within a bound: a FIFO or a device named gui.lua must
    // not hold the editor's opening.
    platform::FileRead script = platform::readRegularFile(skinFolder_ + kSkinScript, kMaxScriptBytes);
    if (script.status != platform::FileReadStatus::Read) {
        // Textures would be looked for in a folder without a layout: use the built-in one.
        report("Error: the skin \"" + skinName_ + "\" has no readable gui.lua (" + platform::describe(script.status) +
               "); using the built-in layout");
        skinFolder_.clear();
        return;
    }
    skinScript_ = std::move(script.text);
}

std::string LuaGui::scriptDescription() const
{
    if (builtInSkin_) return "the skin \"" + skinName_ + "\" (installed with the plug-in)";
    if (skinFolder_.empty()) return "the built-in layout";
    return "the skin \"" + skinName_ + "\" (" + skinFolder_ + kSkinScript + ")";
}

std::vector<std::string> LuaGui::userSkinNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(skinPath(""), error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        if (name.size() > 7 && name.compare(name.size() - 7, 7, ".bundle") == 0) name.resize(name.size() - 7);
        if (entry->is_directory(error) && !findSkin(name).empty()) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LuaGui::installedSkins()
{
    constexpr std::size_t kMostNamed = 12;
    const std::vector<std::string> names = userSkinNames();
    if (names.empty()) return " (there are no skins there)";
    std::string list = " (the skins there: ";
    for (std::size_t i = 0; i < names.size() && i < kMostNamed; ++i) list += (i > 0 ? ", " : "") + names[i];
    return list + (names.size() > kMostNamed ? ", ...)" : ")");
}

void LuaGui::report(const std::string& line)
{
    if (!quiet_) plugin_.postConsoleError(kConsoleSource, line);
}

void LuaGui::reportScriptError(const std::string& line)
{
    if (!built_ && isSkin()) {
        heldErrors_.push_back(line);
    } else {
        report(line);
    }
}

void LuaGui::failSkin(const std::string& why)
{
    skinFailed_ = true;
    heldErrors_.clear();
    report("Error: " + scriptDescription() + " " + why + "; using the built-in layout");
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
    if (layout_ == Layout::Preferred) resolveSkin();
    lua_State* L = lua_newstate(LuaMemoryBudget::allocate, &memory_);
    if (!L) L = luaL_newstate();  // interpreters that do not take our allocator
    if (!L) {
        report("Error: the editor's layout cannot run: Lua is not available");
        return;
    }
    lua_atpanic(L, reportPanic);
    elementTypes_ = {luagui::kElement};
    registerElementTypes();
    watchdog_.setBudget(LuaWatchdog::budgetFromPreferences());
    if (!protectedCCall(L, setUpState, this, LuaErrorPolicy::Silent) || !restrictLayoutLibraries(L) ||
        !protectedCCall(L, LuaWatchdog::makeStopsUncatchable, nullptr, LuaErrorPolicy::Silent)) {
        report("Error: the editor's layout cannot run: not enough memory");
        lua_close(L);
        return;
    }
    state_ = L;
    runScript();
}

// Everything a new state needs before the script runs, in protected mode.
int LuaGui::setUpState(lua_State* L)
{
    auto* builder = static_cast<LuaGui*>(lua_touserdata(L, 1));
    builder->watchdog_.attach(L);
    luaL_openlibs(L);
    // The program's own print, as in every other Lua state of the plug-in, to the instance's
    // console where there is one.
    if (builder->quiet_) {
        lua_register(L, "print", [](lua_State*) { return 0; });
    } else {
        lua_register(L, "print", script::print);
        builder->plugin_.attachConsole(L);
    }
    builder->registerGlobals(L);
    lua_pushlightuserdata(L, builder);
    lua_setfield(L, LUA_REGISTRYINDEX, luagui::kViewRefcon);
    return 0;
}

void LuaGui::registerGlobals(lua_State* L)
{
    registerBuilderFunctions(L);
    lua_pushboolean(L, 0), lua_setglobal(L, "isMac");
    lua_pushboolean(L, 1), lua_setglobal(L, "isWin");
    lua_pushboolean(L, 1), lua_setglobal(L, "isVST");
    lua_pushboolean(L, 0), lua_setglobal(L, "isAU");
    lua_pushnumber(L, version::kMajor), lua_setglobal(L, "majorVersion");
    lua_pushnumber(L, version::kMinor), lua_setglobal(L, "minorVersion");
    lua_pushnumber(L, version::kDot), lua_setglobal(L, "dotVersion");
    lua_pushnumber(L, version::kScriptNumber), lua_setglobal(L, "version");
    lua_pushnumber(L, scale_), lua_setglobal(L, "editorScale");
}

std::optional<std::string> LuaGui::scriptText() const
{
    if (isSkin()) return skinScript_;
    const auto id = resources_.find("gui.lua");
    if (id == resources_.end()) return std::nullopt;
    return resourceScript(id->second);
}

std::optional<std::string> LuaGui::resourceScript(int id)
{
    const auto resource = platform::findResource(platform::kResourceTypeScript, id);
    if (!resource) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(resource->data), resource->size);
}

bool LuaGui::enter(lua_CFunction function, void* ud, LuaCallResult* result)
{
    if (!state_ || skinFailed_) return false;
    LuaCallResult local;
    LuaCallResult& outcome = result ? *result : local;
    {
        LuaWatchdog::Entry entry(watchdog_, state_);
        if (protectedCCall(state_, function, ud, LuaErrorPolicy::KeepMessage, &outcome)) return true;
    }
    if (watchdog_.timedOut()) {
        // Until the layout is built the editor can still turn to the built-in layout;
        // afterwards (a button's function) the editor just goes on.
        if (!built_ && isSkin()) {
            failSkin(std::string("was stopped: ") + outcome.message);
        } else {
            report("Error: " + scriptDescription() + " was stopped: " + outcome.message);
        }
    }
    return false;
}

void LuaGui::runScript()
{
    const std::optional<std::string> text = scriptText();
    if (!text) {
        report("failed to run buffer: failed to find gui.lua in resouce id lookup");
        return;
    }
    ChunkRun chunk{text->data(), text->size()};
    LuaCallResult result;
    if (!enter(runChunk, &chunk, &result) && !skinFailed_) {
        reportScriptError(std::string("failed to run buffer: ") + result.message);
    }
}

std::pair<int, int> LuaGui::windowSize()
{
    SizeQuery query;
    if (luaState() && enter(askWindowSize, &query) && query.width > 0 && query.height > 0) {
        return {query.width, query.height};
    }
    return {kBuiltInWidth, kBuiltInHeight};
}

std::unique_ptr<Font> LuaGui::loadFontFrom(const char* function)
{
    FontQuery query{this, function};
    fontRequests_.clear();
    if (!luaState() || !enter(askFontList, &query)) return nullptr;
    return loadRequestedFont();
}

// The font list on top of the stack: { {name = ..., size = ...}, ... }. Pops it. Reads
// raw fields only, so that no metamethod of the script's runs here.
void LuaGui::readFontList(lua_State* L)
{
    fontRequests_.clear();
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
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
                bool stored = true;
                if (size > 0 && size < 1000) {
                    try {
                        fontRequests_.push_back({lua_tostring(L, -2), static_cast<int>(size)});
                    } catch (...) {
                        stored = false;
                    }
                }
                if (!stored) luaL_error(L, "not enough memory for the font list");
            }
            lua_pop(L, 2);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

std::unique_ptr<Font> LuaGui::loadRequestedFont()
{
    return fontRequests_.empty() ? nullptr : Font::load(fontRequests_, scale_);
}

void LuaGui::runLayout()
{
    if (!luaState()) return;
    const auto [width, height] = windowSize();
    manager_->setSize(width, height);
    LuaCallResult result;
    // The layout stops where the error came: the console says why half a layout shows.
    if (!enter(runCreateUI, nullptr, &result) && !skinFailed_) {
        reportScriptError(std::string("createUI: ") + result.message);
    }
}

void LuaGui::checkLayoutMade()
{
    built_ = true;
    if (!skinFailed_ && isSkin() && manager_ && manager_->root().children().empty()) {
        failSkin(heldErrors_.empty() ? "made no layout" : "made no layout (" + heldErrors_.front() + ")");
        return;
    }
    for (const std::string& line : heldErrors_) report(line);
    heldErrors_.clear();
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
    (void)enter(runReference, const_cast<LuaButtonCallback*>(&callback));
}

}  // namespace QN
