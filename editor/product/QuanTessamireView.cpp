#include "editor/product/QuanTessamireView.h"

#include "editor/product/PluginLuaGui.h"
#include "editor/product/PreferencesPanel.h"
#include "editor/product/ScriptConsolePanel.h"
#include "editor/product/TKmanager.h"
#include "editor/product/TessamireConnection.h"
#include "editor/toolkit/EditorScale.h"
#include "engine/osc/OscAccessPreferences.h"
#include "engine/instance/QuanTessamire.h"
#include "platform/PreferenceStore.h"
#include "platform/UrlOpener.h"

QuanTessamireView::QuanTessamireView(QuanTessamire* plugin)
    : CarbonVSTEditor(plugin, kParameterCount), connection_(std::make_unique<TessamireConnection>(*plugin))
{
}

// Closing here, while the connection still exists: the render thread reads through it.
QuanTessamireView::~QuanTessamireView() { close(); }

bool QuanTessamireView::getRect(ERect** rect)
{
    if (manager()) return CarbonVSTEditor::getRect(rect);
    // Hosts ask often; the layout script runs once per closed spell (the skin can change
    // only while the editor is open, through its preferences).
    if (!sizeProbed_) {
        // The layout is built as the opening will build it, quietly, so that a skin that
        // fails reports the built-in layout's size rather than its own.
        const float scale = QN::EditorScale::current();
        const BuiltLayout probe = buildLayout(scale, true);
        const int width = probe.manager->width();
        const int height = probe.manager->height();
        const float fitted = QN::EditorScale::fitted(scale, width, height, QN::LuaGui::kMaxSide);
        rect_.top = 0;
        rect_.left = 0;
        rect_.bottom = static_cast<std::int16_t>(QN::EditorScale::scaled(height, fitted));
        rect_.right = static_cast<std::int16_t>(QN::EditorScale::scaled(width, fitted));
        sizeProbed_ = true;
    }
    *rect = &rect_;
    return true;
}

void QuanTessamireView::createGui() { builder_ = makeBuilder(false); }

std::unique_ptr<PluginLuaGui> QuanTessamireView::makeBuilder(bool builtIn)
{
    auto builder = std::make_unique<PluginLuaGui>(*connection_, [this] { openPreferences(); },
                                                  builtIn ? PluginLuaGui::Layout::BuiltIn : PluginLuaGui::Layout::Preferred);
    builder->setConsoleAction([this] { openConsole(); });
    return builder;
}

QuanTessamireView::BuiltLayout QuanTessamireView::buildLayout(float scale, bool quiet)
{
    BuiltLayout layout;
    for (const bool builtIn : {false, true}) {
        layout.builder = makeBuilder(builtIn);
        layout.builder->setQuiet(quiet);
        layout.builder->setScale(scale);
        layout.manager = std::make_unique<TKmanager>(*connection_, pendingChanges());
        layout.builder->buildUI(*layout.manager);
        // The skin said why on its one line; start again from the built-in layout, with
        // nothing of the skin's left behind (the manager goes before its builder).
        if (!layout.builder->skinFailed()) break;
        layout.manager.reset();
    }
    return layout;
}

void QuanTessamireView::releaseGui()
{
    sizeProbed_ = false;
    builder_.reset();
    preferences_ = nullptr;
    console_ = nullptr;
}

std::unique_ptr<QN::Manager> QuanTessamireView::createManager()
{
    // The density and the "Zoom" preference are read once per opening.
    const float scale = QN::EditorScale::current();
    BuiltLayout layout = buildLayout(scale, false);
    builder_ = std::move(layout.builder);
    std::unique_ptr<QN::Manager> manager = std::move(layout.manager);
    manager->setScale(QN::EditorScale::fitted(scale, manager->width(), manager->height(), QN::LuaGui::kMaxSide));
    // Where the instance listens for OSC is the user's set-up, not part of a compared sound.
    manager->parameters().abCompare().leaveOut(ParameterId::OscPortOffset);
    PreferencesPanel::Actions actions;
    actions.applyPort = [this](int port) { applyOscBasePort(port); };
    actions.openUrl = [](const std::string& url) { (void)platform::openUrl(url); };
    // Every instance's server reads the access switches per request: they apply at once.
    actions.oscAccessChanged = [] { QN::OscAccessPreferences::load(); };
    preferences_ = manager->make<PreferencesPanel>(std::move(actions));
    console_ = manager->make<ScriptConsolePanel>();
    return manager;
}

// Runs inside the "Prefs" button's release; the panel stays up until OK or Escape.
void QuanTessamireView::openPreferences()
{
    if (preferences_) preferences_->open();
}

void QuanTessamireView::openConsole()
{
    if (console_) console_->open();
}

void QuanTessamireView::applyOscBasePort(int port)
{
    platform::writePreferenceInt("OSC Base Port", port);
    connection_->changeOscBasePort(port);
}
