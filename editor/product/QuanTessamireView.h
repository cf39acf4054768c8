#pragma once

#include "editor/toolkit/CarbonVSTEditor.h"

#include <memory>

class PluginLuaGui;
class PreferencesPanel;
class QuanTessamire;
class ScriptConsolePanel;
class TessamireConnection;
class TKmanager;

// The plug-in's editor: its layout comes from the layout script (built in, or a skin's),
// its "Prefs" button opens the preferences panel and its "Console" button the script console.
class QuanTessamireView : public QN::CarbonVSTEditor {
public:
    explicit QuanTessamireView(QuanTessamire* plugin);
    ~QuanTessamireView() override;

    // Before the first opening the size comes from the layout script's "getWindowSize".
    bool getRect(ERect** rect) override;

protected:
    std::unique_ptr<QN::Manager> createManager() override;
    void createGui() override;
    void releaseGui() override;

private:
    void openPreferences();
    void openConsole();
    [[nodiscard]] std::unique_ptr<PluginLuaGui> makeBuilder(bool builtIn);
    struct BuiltLayout {
        std::unique_ptr<PluginLuaGui> builder;
        std::unique_ptr<TKmanager> manager;  // declared after its builder: it goes first
    };
    // The preferred skin's layout, else (when the skin failed) the built-in one.
    [[nodiscard]] BuiltLayout buildLayout(float scale, bool quiet);
    void applyOscBasePort(int port);

    std::unique_ptr<TessamireConnection> connection_;
    std::unique_ptr<PluginLuaGui> builder_;
    PreferencesPanel* preferences_ = nullptr;  // owned by the manager
    ScriptConsolePanel* console_ = nullptr;     // owned by the manager
    bool sizeProbed_ = false;                  // rect_ holds the layout's size while closed
};
