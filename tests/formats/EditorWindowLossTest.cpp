// A host that destroys its own window while our editor is open in it goes on running, in
// every format: the editor stops drawing, and closing it and the instance afterwards is
// clean. Each case runs in a child process standing in for the host, so that an end of
// the process (Xlib's default error handling exits) shows as a failure.

#include "FormatFixture.h"
#include "tests/support/ChildProcess.h"

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace formats;

namespace {

constexpr int kFramesMs = 600;  // the render thread draws about 20 frames meanwhile

// One format's editor in the host's window.
class FormatEditor {
public:
    virtual ~FormatEditor() = default;
    // Empty when the editor opened in parent, else what failed.
    virtual std::string open(Window parent) = 0;
    // The host's idle (or timer) call.
    virtual void idle() = 0;
    // Closes the editor, then the instance.
    virtual void close() = 0;
};

class VstEditor : public FormatEditor {
public:
    std::string open(Window parent) override
    {
        vst_ = loadVst();
        if (!vst_) return "no VST instance";
        ERect* rect = nullptr;
        vst_->dispatch(effEditGetRect, 0, 0, &rect);
        return vst_->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) ? "" : "effEditOpen refused";
    }
    void idle() override { vst_->dispatch(effEditIdle); }
    void close() override
    {
        vst_->dispatch(effEditClose);
        vst_.reset();
    }

private:
    std::unique_ptr<lfhost::PluginInstance> vst_;
};

class ClapEditor : public FormatEditor {
public:
    std::string open(Window parent) override
    {
        clap_ = loadClap();
        if (!clap_) return "no CLAP instance";
        gui_ = clap_->extension<clap_plugin_gui_t>(kClapExtGui);
        timers_ = clap_->extension<clap_plugin_timer_support_t>(kClapExtTimerSupport);
        if (!gui_ || !timers_ || !gui_->create(clap_->plugin(), "x11", false)) return "no CLAP editor";
        clap_window_t window{};
        window.api = "x11";
        window.x11 = parent;
        return gui_->set_parent(clap_->plugin(), &window) ? "" : "set_parent refused";
    }
    void idle() override { timers_->on_timer(clap_->plugin(), 1); }
    void close() override
    {
        gui_->destroy(clap_->plugin());
        clap_.reset();
    }

private:
    std::unique_ptr<lfhost::ClapPluginHost> clap_;
    const clap_plugin_gui_t* gui_ = nullptr;
    const clap_plugin_timer_support_t* timers_ = nullptr;
};

class Lv2Editor : public FormatEditor {
public:
    std::string open(Window parent) override
    {
        void* library = dlopen((std::string(LUMENFOLD_LV2_BUNDLE) + "/Lumenfold.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) return "no LV2 library";
        plugin_ = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"))(0);
        ui_ = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"))(0);
        instance_ = plugin_->instantiate(plugin_, kSampleRate, "", nullptr);
        if (!instance_) return "no LV2 instance";
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, instance_};
        const LV2_Feature* features[] = {&parentFeature, &instanceFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        handle_ = ui_->instantiate(ui_, lumenfold::lv2::kPluginUri, "", nullptr, nullptr, &widget, features);
        idle_ = static_cast<const LV2UI_Idle_Interface*>(ui_->extension_data(LV2_UI__idleInterface));
        return handle_ && idle_ ? "" : "no LV2 editor";
    }
    void idle() override { (void)idle_->idle(handle_); }
    void close() override
    {
        ui_->cleanup(handle_);
        plugin_->cleanup(instance_);
    }

private:
    const LV2_Descriptor* plugin_ = nullptr;
    const LV2UI_Descriptor* ui_ = nullptr;
    LV2_Handle instance_ = nullptr;
    LV2UI_Handle handle_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
};

struct Format {
    const char* name;
    std::function<std::unique_ptr<FormatEditor>()> make;
};
void PrintTo(const Format& format, std::ostream* out) { *out << format.name; }

void idleFor(FormatEditor& editor, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        editor.idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The host's side, in the child: empty when every step went through.
std::string destroyHostWindowUnderEditor(const Format& format)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return "no display";
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 600, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    auto editor = format.make();
    if (std::string failure = editor->open(parent); !failure.empty()) return failure;
    idleFor(*editor, kFramesMs);
    XDestroyWindow(display, parent);
    XSync(display, False);
    idleFor(*editor, kFramesMs);
    editor->close();
    XCloseDisplay(display);
    return {};
}

class HostWindowDestroyed : public testing::TestWithParam<Format> {};

TEST_P(HostWindowDestroyed, WhileTheEditorIsOpenTheHostLivesOnAndClosesItCleanly)
{
    const Format& format = GetParam();
    const ChildOutcome outcome =
        runInChild(std::chrono::seconds(60), [&] { return destroyHostWindowUnderEditor(format); });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, HostWindowDestroyed,
    testing::Values(Format{"Vst", [] { return std::unique_ptr<FormatEditor>(new VstEditor); }},
                    Format{"Clap", [] { return std::unique_ptr<FormatEditor>(new ClapEditor); }},
                    Format{"Lv2", [] { return std::unique_ptr<FormatEditor>(new Lv2Editor); }}),
    [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

}  // namespace
