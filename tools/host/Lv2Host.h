#pragma once
// A small LV2 host of our own on Debian's lilv, for tests: loads a bundle, instantiates
// its plug-in with urid:map, and runs it with control port values, MIDI and patch:Set and
// patch:Get messages in its atom input; keeps the patch:Set values it sends back; saves and
// restores its state through its state interface; lists and applies the bundle's presets.
// Threads: one thread plays every role.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lfhost {

class Lv2PluginHost {
public:
    // Null with *error set when the bundle or the plug-in cannot be loaded.
    [[nodiscard]] static std::unique_ptr<Lv2PluginHost> load(const std::string& bundleFolder,
                                                             const std::string& pluginUri, double sampleRate,
                                                             std::string* error);
    ~Lv2PluginHost();
    Lv2PluginHost(const Lv2PluginHost&) = delete;
    Lv2PluginHost& operator=(const Lv2PluginHost&) = delete;

    // The control port with this symbol; false when there is none.
    bool setControl(const std::string& symbol, float value);
    [[nodiscard]] float control(const std::string& symbol) const;
    // Queued for the next run, at the given frame.
    void setProperty(const std::string& uri, float value, std::uint32_t time = 0);
    // A patch:Get for the property, queued for the next run.
    void requestProperty(const std::string& uri, std::uint32_t time = 0);
    // A patch:Get without a property (every property), queued for the next run.
    void requestAllProperties(std::uint32_t time = 0);
    void sendMidi(std::uint32_t time, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Deactivates and activates the plug-in again, as a host does between two bounces.
    void reactivate();
    // Two channels each; in and out may be the same.
    void run(float* const* inputs, float* const* outputs, std::uint32_t frames);
    [[nodiscard]] float latency() const;
    // patch:Set messages the plug-in sent in the last run: (property URI, value).
    [[nodiscard]] const std::vector<std::pair<std::string, float>>& notifications() const { return notified_; }
    // The latest value of every property the plug-in sent since the last forgetProperties(),
    // across runs, as a host keeps them.
    [[nodiscard]] const std::map<std::string, float>& properties() const { return properties_; }
    void forgetProperties() { properties_.clear(); }
    // The notify port's buffer size from the next run on, header included (8..65536; 0:
    // the whole buffer); the rest of the buffer is filled with a marker.
    void setNotifyCapacity(std::uint32_t bytes) { notifyCapacity_ = bytes; }
    // False when the last run's notify sequence reached past the room given, or held an
    // event that did not fit in the sequence.
    [[nodiscard]] bool notifyWellFormed() const { return notifyWellFormed_; }

    [[nodiscard]] std::vector<std::uint8_t> saveState();
    bool restoreState(const std::vector<std::uint8_t>& block);

    // The presets the bundle declares for the plug-in: (URI, label), in lilv's order.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> presets();
    // Applies a preset as hosts do through lilv: its port values into the control ports
    // (the plug-in reads them at the next run) and its state through the state interface.
    bool loadPreset(const std::string& presetUri);

private:
    Lv2PluginHost();
    struct Impl;
    std::unique_ptr<Impl> impl_;
    void readNotifications();

    std::vector<std::pair<std::string, float>> notified_;
    std::map<std::string, float> properties_;
    std::uint32_t notifyCapacity_ = 0;
    bool notifyWellFormed_ = true;
};

}  // namespace lfhost
