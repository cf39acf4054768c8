#pragma once

#include "editor/toolkit/FontRequest.h"
#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaHeaders.h"
#include "engine/scripting/LuaMemoryBudget.h"
#include "engine/scripting/LuaWatchdog.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace QN {

class Manager;
class PluginConnection;
class UIElement;

// Builds an editor's content from a layout script, "gui.lua", run in a Lua 5.1 state of
// its own: the script defines the window size, its fonts and "createUI", and creates
// textures, groups and controls through the functions this class offers. The script
// comes from the skin named by the "Skin" preference or, without one, from the
// library's resources. Errors inside the script end only the script call that raised
// them: the editor then shows whatever was created until then.
//
// A skin cannot take the host with it: every entry into the state is a protected call
// (running out of memory fails that one request), runs under the "Script Time Limit"
// budget (3 s unless set), and the window size is always sane. A skin whose script
// runs past the budget, or whose layout made nothing, counts as failed: the editor then
// uses the built-in layout (skinFailed).
//
// The plug-in's subclass supplies the concrete controls and its own functions.
// Threads: everything on the host GUI thread (editor opening, button and mouse events).
class LuaGui {
public:
    // A luaButton's function, kept in the registry.
    struct LuaButtonCallback {
        LuaGui* builder;
        int reference;
    };
    // An entry of the "button" table: the action and the hover id of its button.
    struct ButtonAction {
        std::function<void()> action;
        int hoverId;
    };

    // Without a sane size from the script, the editor gets the built-in layout's.
    static constexpr int kBuiltInWidth = 1024;
    static constexpr int kBuiltInHeight = 512;
    static constexpr int kMaxSide = 4096;
    // Longest skin script read.
    static constexpr std::size_t kMaxScriptBytes = 1 << 20;

    enum class Layout {
        Preferred,  // the "Skin" preference's skin, else the built-in layout
        BuiltIn,    // the built-in layout whatever the preference says
    };

    explicit LuaGui(PluginConnection& plugin, Layout layout = Layout::Preferred);
    virtual ~LuaGui();
    LuaGui(const LuaGui&) = delete;
    LuaGui& operator=(const LuaGui&) = delete;

    // Populates the manager from the script.
    virtual void buildUI(Manager& manager) = 0;
    virtual UIElement* createKnob(lua_State* L, int parameter, const char* label, float x, float y, float size) = 0;
    virtual UIElement* createSlider(lua_State* L, int parameter, float x, float y, float width, float height,
                                    bool horizontal) = 0;
    virtual UIElement* createButton(lua_State* L, const char* label, std::function<void()> action, float x, float y,
                                    float width, float height, int hoverId) = 0;
    virtual UIElement* createLuaButton(lua_State* L, const char* label, std::function<void()> action, float x,
                                       float y, float width, float height, int hoverId, bool toggle) = 0;
    virtual UIElement* createDropDown(lua_State* L, int parameter, float x, float y, float width, float height) = 0;
    virtual void registerElementTypes() {}

    // The script's "getWindowSize", rounded, when both are numbers from 1 to kMaxSide;
    // the built-in layout's size otherwise.
    [[nodiscard]] std::pair<int, int> windowSize();
    // Window pixels per layout pixel (EditorScale); the script sees it as the global
    // "editorScale" and the fonts are rendered at it. Set before the state is first used.
    void setScale(float scale) { scale_ = scale; }
    [[nodiscard]] float scale() const { return scale_; }
    // The skin ran past its time budget or made no layout: use the built-in layout.
    [[nodiscard]] bool skinFailed() const { return skinFailed_; }
    // Reports nothing, and the script's print shows nothing: for the size probe before the
    // editor opens, whose opening runs the same script again and says the same. Set before
    // the state is first used.
    void setQuiet(bool quiet) { quiet_ = quiet; }

    // The state, created (and the script's top level run) on first use; null when Lua
    // cannot be loaded.
    lua_State* luaState();
    [[nodiscard]] Manager* manager() const { return manager_; }
    [[nodiscard]] PluginConnection& plugin() const { return plugin_; }
    [[nodiscard]] const std::string& skinName() const { return skinName_; }
    [[nodiscard]] const std::string& skinFolder() const { return skinFolder_; }
    // The layout is a skin (from the skins folder or carried inside the plug-in), not the
    // built-in layout.
    [[nodiscard]] bool isSkin() const { return !skinFolder_.empty() || builtInSkin_; }
    // The names of the skin folders in the user's skins folder ("<Name>.bundle" as "<Name>"),
    // sorted.
    [[nodiscard]] static std::vector<std::string> userSkinNames();
    // -1 for an unknown name; the last row of a shared name.
    [[nodiscard]] int parameterIndex(const std::string& name) const;
    // Whether the value at index is a GUI element userdata; the element when it is.
    [[nodiscard]] UIElement* elementAt(lua_State* L, int index) const;
    [[nodiscard]] const std::map<std::string, int>& resources() const { return resources_; }
    // The "button" table of the layout run in progress; null outside buildUI.
    [[nodiscard]] const std::map<std::string, ButtonAction>* buttonActions() const;
    // Reads the font list on top of the stack (popped) into the pending font requests.
    // Raises Lua errors: only inside a protected call, with nothing of the caller's own
    // alive across it.
    void readFontList(lua_State* L);
    // The first pending font request that loads; null when none does.
    [[nodiscard]] std::unique_ptr<class Font> loadRequestedFont();
    // Elements can be created only while the layout is built: afterwards the render
    // thread walks the element lists without locks.
    [[nodiscard]] bool isBuilding() const { return building_; }
    // Registers a luaButton's function (on top of the stack, popped) and answers its record.
    LuaButtonCallback& addLuaButtonCallback(lua_State* L);
    // Runs a luaButton's function in protected mode under the time budget; errors are
    // dropped, a stop is reported.
    void runLuaButton(const LuaButtonCallback& callback);
    // Test access: the state's memory ceiling.
    [[nodiscard]] LuaMemoryBudget& memoryBudget() { return memory_; }

protected:
    void setManager(Manager* manager) { manager_ = manager; }
    void setBuilding(bool building) { building_ = building; }
    void addResource(const std::string& name, int id) { resources_[name] = id; }
    // A skin carried inside the plug-in: the "Skin" preference names it like a folder's,
    // and it comes before a folder of the same name, so that it loads anywhere.
    void addBuiltInSkin(const std::string& name, int scriptResource) { builtInSkins_[name] = scriptResource; }
    void addElementType(const std::string& metatable) { elementTypes_.push_back(metatable); }
    void setButtonActions(std::map<std::string, ButtonAction> actions);
    void clearButtonActions() { buttonActions_.reset(); }
    // Calls a global font function and loads the first font of its list; null without.
    [[nodiscard]] std::unique_ptr<class Font> loadFontFrom(const char* function);
    // "getWindowSize" into the manager, then "createUI". Both protected; errors dropped.
    void runLayout();
    // One entry into the state: function(ud) in protected mode under the time budget.
    // False when it failed (the message in *result when given) or could not run: no
    // state, or a skin that already failed. A stop for time is reported here.
    bool enter(lua_CFunction function, void* ud, LuaCallResult* result = nullptr);
    // At the end of buildUI: a skin that made nothing counts as failed.
    void checkLayoutMade();

private:
    void createState();
    static int setUpState(lua_State* L);
    void registerGlobals(lua_State* L);
    void runScript();
    [[nodiscard]] std::optional<std::string> scriptText() const;
    [[nodiscard]] static std::optional<std::string> resourceScript(int id);
    void resolveSkin();
    // "the skin "<name>" (<path>)" or "the built-in layout", for diagnostic lines.
    [[nodiscard]] std::string scriptDescription() const;
    // "; the skins there: A, B" (or that there are none), for a skin name that is not found.
    [[nodiscard]] static std::string installedSkins();
    void failSkin(const std::string& why);
    // One line for the instance's console (and standard error).
    void report(const std::string& line);
    // A script error. A skin's are held until its layout is built: when it made nothing,
    // the first of them is the reason on the one line that says the built-in layout is used.
    void reportScriptError(const std::string& line);

    PluginConnection& plugin_;
    Layout layout_;
    bool quiet_ = false;
    std::vector<std::string> heldErrors_;
    Manager* manager_ = nullptr;
    std::string skinName_;
    std::string skinFolder_;
    std::string skinScript_;  // read once, when the skin is chosen
    bool builtInSkin_ = false;
    std::map<std::string, int> builtInSkins_;
    bool skinFailed_ = false;
    // The layout's allocations have a ceiling too: a skin allocating without bound gets
    // "not enough memory" instead of taking the host's memory.
    LuaMemoryBudget memory_;
    LuaWatchdog watchdog_;
    lua_State* state_ = nullptr;
    bool stateAttempted_ = false;
    bool building_ = false;
    bool built_ = false;
    float scale_ = 1.0f;
    std::vector<std::string> elementTypes_;
    std::map<std::string, int> resources_;
    std::map<std::string, int> parameterLookup_;
    std::vector<std::unique_ptr<LuaButtonCallback>> luaButtons_;
    std::optional<std::map<std::string, ButtonAction>> buttonActions_;
    // Filled inside protected calls, so that a Lua error cannot skip its destructor.
    std::vector<FontRequest> fontRequests_;
};

}  // namespace QN
