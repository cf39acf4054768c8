// The same editor opens embedded in a CLAP host's and an LV2 host's X11 window, driven by
// the host's timer or idle calls, and closes again.

#include "FormatFixture.h"

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace formats;

namespace {

class HostWindow : public testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 600, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    void TearDown() override
    {
        if (display) {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }
    // The editor's window is a child of ours.
    unsigned childCount()
    {
        XSync(display, False);
        Window root = 0, up = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        if (children) XFree(children);
        return count;
    }
    Display* display = nullptr;
    Window parent = 0;
};

}  // namespace

TEST_F(HostWindow, ClapEditorEmbedsAtItsSizeAndClosesOnDestroy)
{
    auto clap = loadClap();
    ASSERT_TRUE(clap);
    const auto* gui = clap->extension<clap_plugin_gui_t>(kClapExtGui);
    const auto* timers = clap->extension<clap_plugin_timer_support_t>(kClapExtTimerSupport);
    ASSERT_TRUE(gui && timers);
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(clap->plugin(), &api, &floating));
    EXPECT_STREQ(api, "x11");
    EXPECT_FALSE(floating);
    ASSERT_TRUE(gui->create(clap->plugin(), "x11", false));
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->get_size(clap->plugin(), &width, &height));
    EXPECT_GT(width, 100u);
    EXPECT_GT(height, 100u);
    clap_window_t window{};
    window.api = "x11";
    window.x11 = parent;
    ASSERT_TRUE(gui->set_parent(clap->plugin(), &window));
    EXPECT_EQ(childCount(), 1u);
    for (int i = 0; i < 5; ++i) timers->on_timer(clap->plugin(), 1);  // our host's timer id
    EXPECT_TRUE(gui->show(clap->plugin()));
    gui->destroy(clap->plugin());
    EXPECT_EQ(childCount(), 0u);
}

// The LV2 plug-in with its UI open in our window, as a host that offers instance access.
struct Lv2WithUi {
    const LV2_Descriptor* plugin = nullptr;
    const LV2UI_Descriptor* ui = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2_Handle instance = nullptr;
    LV2UI_Handle handle = nullptr;
    int width = 0, height = 0;  // what the UI asked to be resized to

    explicit Lv2WithUi(Window parent)
    {
        void* library = dlopen((std::string(LUMENFOLD_LV2_BUNDLE) + "/Lumenfold.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        plugin = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"))(0);
        ui = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"))(0);
        idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
        instance = plugin->instantiate(plugin, 48000.0, "", nullptr);
        LV2UI_Resize resize{this, [](LV2UI_Feature_Handle self, int w, int h) {
                                static_cast<Lv2WithUi*>(self)->width = w;
                                static_cast<Lv2WithUi*>(self)->height = h;
                                return 0;
                            }};
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, instance};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        const LV2_Feature* features[] = {&parentFeature, &instanceFeature, &resizeFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        handle = ui->instantiate(ui, lumenfold::lv2::kPluginUri, "", nullptr, nullptr, &widget, features);
    }
};

TEST_F(HostWindow, Lv2UiOpensTheSameEditorOnTheInstance)
{
    Lv2WithUi lv2(parent);
    ASSERT_NE(lv2.handle, nullptr);
    EXPECT_EQ(childCount(), 1u);
    EXPECT_GT(lv2.width, 100);
    ASSERT_NE(lv2.idle, nullptr);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(lv2.idle->idle(lv2.handle), 0);
    lv2.ui->cleanup(lv2.handle);
    EXPECT_EQ(childCount(), 0u);
    lv2.plugin->cleanup(lv2.instance);
}

// A host that cleans up the plug-in before its UI: the editor closes with the instance,
// and the UI, told it is closed, touches nothing that was freed.
TEST_F(HostWindow, Lv2UiOutlivesItsInstanceSafely)
{
    Lv2WithUi lv2(parent);
    ASSERT_NE(lv2.handle, nullptr);
    lv2.plugin->cleanup(lv2.instance);
    EXPECT_EQ(childCount(), 0u);
    EXPECT_NE(lv2.idle->idle(lv2.handle), 0);
    lv2.ui->cleanup(lv2.handle);
}

TEST_F(HostWindow, ClapEditorDragReachesTheHostInsideAGesture)
{
    constexpr int kKnobX = 38, kKnobY = 450;  // "Input Gain" in the built-in layout
    auto clap = loadClap();
    ASSERT_TRUE(clap);
    const clap_plugin_t* p = clap->plugin();
    const auto* gui = clap->extension<clap_plugin_gui_t>(kClapExtGui);
    const auto* timers = clap->extension<clap_plugin_timer_support_t>(kClapExtTimerSupport);
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->create(p, "x11", false) && gui->get_size(p, &width, &height));
    XResizeWindow(display, parent, width, height);
    clap_window_t window{};
    window.api = "x11";
    window.x11 = parent;
    ASSERT_TRUE(gui->set_parent(p, &window));
    // The host's timer, as a host's main loop runs it: the editor handles its input there.
    const auto pumpUntil = [&](const std::function<bool()>& done, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < end) {
            timers->on_timer(p, 1);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    };
    const auto pointerTo = [&](int x, int y) {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
        XFlush(display);
    };
    pumpUntil([] { return false; }, 1500);  // the editor draws its first frames
    pointerTo(kKnobX, kKnobY);
    pumpUntil([] { return false; }, 200);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    ASSERT_TRUE(pumpUntil([&] { return clap->flushRequests() > 0; }, 20000));
    pointerTo(kKnobX, kKnobY + 60);
    pumpUntil([] { return false; }, 300);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    const auto& events = clap->outputEvents();
    ASSERT_TRUE(pumpUntil(
        [&] {
            clap->flush();
            return !events.empty() && events.back().type == CLAP_EVENT_PARAM_GESTURE_END;
        },
        20000));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(events.front().paramId, static_cast<clap_id>(ParameterId::InputGain));
    EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    EXPECT_EQ(events.back().paramId, static_cast<clap_id>(ParameterId::InputGain));
    EXPECT_EQ(events[1].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_LT(events[events.size() - 2].value, 0.0);  // dragged down: the gain went down
    gui->destroy(p);
}
