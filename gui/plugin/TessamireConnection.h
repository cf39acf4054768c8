#pragma once

#include "gui/toolkit/PluginConnection.h"

class QuanTessamire;

// The editor's view of the plug-in object.
class TessamireConnection : public QN::PluginConnection {
public:
    explicit TessamireConnection(QuanTessamire& plugin) : plugin_(plugin) {}

    int parameterCount() override;
    ParameterInfo parameterRow(int index) override;
    float plainValue(int index) override;
    void setPlainValueAutomated(int index, float plain) override;
    void setPlainValue(int index, float plain) override;
    std::vector<std::string> valueStrings(int index) override;
    DisplayBlock* displayBlock() override;
    // Makes port the base port of every instance's OSC server and moves this
    // instance's server there now (the others move when their offset is next set).
    void changeOscBasePort(int port);
    [[nodiscard]] QuanTessamire& plugin() const { return plugin_; }
    void beginEdit(int index) override;
    void endEdit(int index) override;
    void updateDisplay() override;
    std::string displayText(int index) override;
    std::string unitLabel(int index) override;
    std::string controlText(int index) override;
    std::optional<float> plainFromTyped(int index, const std::string& typed) override;
    float sampleRate() override;
    std::vector<QN::ConsoleLine> consoleLines() override;
    void clearConsole() override;
    void postConsoleError(const std::string& source, const std::string& text) override;
    void attachConsole(lua_State* L) override;

private:
    QuanTessamire& plugin_;
};
