#pragma once

#include "scripting/LuaMemoryBudget.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct lua_State;

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

    explicit LuaGui(PluginConnection& plugin);
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

    // The script's "getWindowSize", rounded; 0 for whatever it does not give.
    [[nodiscard]] std::pair<int, int> windowSize();

    // The state, created (and the script's top level run) on first use; null when Lua
    // cannot be loaded.
    lua_State* luaState();
    [[nodiscard]] Manager* manager() const { return manager_; }
    [[nodiscard]] PluginConnection& plugin() const { return plugin_; }
    [[nodiscard]] const std::string& skinName() const { return skinName_; }
    [[nodiscard]] const std::string& skinFolder() const { return skinFolder_; }
    // -1 for an unknown name; the last row of a shared name.
    [[nodiscard]] int parameterIndex(const std::string& name) const;
    // Whether the value at index is a GUI element userdata; the element when it is.
    [[nodiscard]] UIElement* elementAt(lua_State* L, int index) const;
    [[nodiscard]] const std::map<std::string, int>& resources() const { return resources_; }
    // The "button" table of the layout run in progress; null outside buildUI.
    [[nodiscard]] const std::map<std::string, ButtonAction>* buttonActions() const;
    // The font list on top of the stack (popped) loaded; null when nothing loads.
    [[nodiscard]] std::unique_ptr<class Font> fontFromList(lua_State* L);
    // Elements can be created only while the layout is built: afterwards the render
    // thread walks the element lists without locks.
    [[nodiscard]] bool isBuilding() const { return building_; }
    // Registers a luaButton's function (on top of the stack, popped) and answers its record.
    LuaButtonCallback& addLuaButtonCallback(lua_State* L);
    // Runs a luaButton's function in protected mode; errors are dropped.
    void runLuaButton(const LuaButtonCallback& callback);

protected:
    void setManager(Manager* manager) { manager_ = manager; }
    void setBuilding(bool building) { building_ = building; }
    void addResource(const std::string& name, int id) { resources_[name] = id; }
    void addElementType(const std::string& metatable) { elementTypes_.push_back(metatable); }
    void setButtonActions(std::map<std::string, ButtonAction> actions);
    void clearButtonActions() { buttonActions_.reset(); }
    // Calls a global font function and loads the first font of its list; null without.
    [[nodiscard]] std::unique_ptr<class Font> loadFontFrom(const char* function);
    // "getWindowSize" into the manager, then "createUI". Both protected; errors dropped.
    void runLayout();

private:
    void createState();
    void registerGlobals(lua_State* L);
    void runScript(lua_State* L);
    [[nodiscard]] std::optional<std::string> scriptText() const;
    void resolveSkin();

    PluginConnection& plugin_;
    Manager* manager_ = nullptr;
    std::string skinName_;
    std::string skinFolder_;
    // The layout's allocations have a ceiling too: a skin allocating without bound gets
    // "not enough memory" instead of taking the host's memory.
    LuaMemoryBudget memory_;
    lua_State* state_ = nullptr;
    bool stateAttempted_ = false;
    bool building_ = false;
    std::vector<std::string> elementTypes_;
    std::map<std::string, int> resources_;
    std::map<std::string, int> parameterLookup_;
    std::vector<std::unique_ptr<LuaButtonCallback>> luaButtons_;
    std::optional<std::map<std::string, ButtonAction>> buttonActions_;
};

}  // namespace QN
