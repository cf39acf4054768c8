#pragma once

#include "editor/product/InstanceAccess.h"
#include "editor/toolkit/HostCallQueue.h"
#include "editor/toolkit/PluginConnection.h"

#include <atomic>
#include <thread>

class QuanTessamire;

// The editor's view of the plug-in object. What the editor tells the host from its idle
// stand-in waits in a HostCallQueue until the host GUI thread sends it.
class TessamireConnection : public QN::PluginConnection, public InstanceAccess {
public:
    explicit TessamireConnection(QuanTessamire& plugin);

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
    [[nodiscard]] QuanTessamire& instance() const override { return plugin_; }
    void beginEdit(int index) override;
    void endEdit(int index) override;
    void updateDisplay() override;
    void deferHostCallsOnThisThread(bool defer) override;
    void sendDeferredHostCalls() override;
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
    [[nodiscard]] bool defersHostCalls() const;
    // On the stand-in thread the call waits in the queue; elsewhere what waits goes out
    // first, then the call, so the host hears everything in the editor's order.
    template <typename Queue, typename Direct>
    void hostCall(Queue&& queue, Direct&& direct)
    {
        if (defersHostCalls()) {
            queue();
            return;
        }
        sendDeferredHostCalls();
        direct();
    }
    void send(const QN::HostCallQueue::Call& call);
    // The host's 0..1 view of the parameter's stored value, as an automation report gives it.
    [[nodiscard]] float automationValue(int index);

    QuanTessamire& plugin_;
    QN::HostCallQueue hostCalls_;
    std::atomic<std::thread::id> deferringThread_{};
};
