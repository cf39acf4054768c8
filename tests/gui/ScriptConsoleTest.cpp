// The script console of the built-in layout, through the plug-in's real ABI: its
// "Console" button opens the panel, Ctrl+C copies what it shows to the X clipboard (read
// back here as another program would), "Clear" empties it.

#include "UserFolderSandbox.h"

#include "platform/PreferenceStore.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

constexpr int kTimeoutMs = 20000;
// Window pixels from the top-left: the "Console" button, and the panel's "Clear" and
// "Close" buttons (a spot of each beside its label).
constexpr int kConsoleButtonX = 535, kButtonRowY = 52;
constexpr int kPanelClearX = 898, kPanelCloseX = 958, kPanelButtonY = 84;
constexpr int kFirstRowX = 300, kFirstRowY = 100;

// Another program on the display, asking for the clipboard's text.
class ClipboardReader {
public:
    ClipboardReader()
        : display_(XOpenDisplay(nullptr)),
          window_(XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0)),
          clipboard_(XInternAtom(display_, "CLIPBOARD", False))
    {
    }
    ~ClipboardReader()
    {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // Takes the clipboard, so that a copy shows as another owner.
    void takeClipboard()
    {
        XSetSelectionOwner(display_, clipboard_, window_, CurrentTime);
        XSync(display_, False);
    }
    [[nodiscard]] bool someoneElseOwns() { return XGetSelectionOwner(display_, clipboard_) != window_; }

    // The owner's text as UTF-8; nothing when it refused or never answered.
    std::optional<std::string> read(lfhost::EditorHost& editor)
    {
        const Atom property = XInternAtom(display_, "LUMENFOLD_CLIPBOARD", False);
        XConvertSelection(display_, clipboard_, XInternAtom(display_, "UTF8_STRING", False), property, window_,
                          CurrentTime);
        XFlush(display_);
        XEvent reply{};
        if (!editor.pumpUntil([&] { return XCheckTypedWindowEvent(display_, window_, SelectionNotify, &reply); },
                              kTimeoutMs) ||
            reply.xselection.property == None) {
            return std::nullopt;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, window_, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count,
                           &after, &data);
        std::string text(reinterpret_cast<const char*>(data), count);
        XFree(data);
        return text;
    }

private:
    Display* display_;
    Window window_;
    Atom clipboard_;
};

class ScriptConsole : public testing::Test {
protected:
    void addScript(const std::string& name, const std::string& text)
    {
        const auto folder = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "Corvanne" / "Lumenfold" / "Scripts";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name) << text;
    }
    void openConsole()
    {
        std::string error;
        plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        ASSERT_TRUE(plugin) << error;
        editor = lfhost::EditorHost::open(*plugin, &error);
        ASSERT_TRUE(editor) << error;
        const auto buttonSpot = [&] { return editor->capture()->pixel(kPanelCloseX, kPanelButtonY)[2]; };
        ASSERT_TRUE(editor->pumpUntil([&] { return buttonSpot() > 0; }, kTimeoutMs)) << "the layout is drawn";
        const std::uint8_t before = buttonSpot();
        click(kConsoleButtonX, kButtonRowY);
        // The panel's buttons are a flat grey-violet where the display was.
        ASSERT_TRUE(editor->pumpUntil([&] { return buttonSpot() != before && buttonSpot() == panelButtonBlue(); },
                                      kTimeoutMs));
    }
    static std::uint8_t panelButtonBlue() { return 89; }
    void click(int x, int y)
    {
        editor->movePointer(x, y);
        editor->pumpFor(60);
        editor->pressButton();
        editor->pumpFor(60);
        editor->releaseButton();
        editor->pumpFor(60);
    }
    // Ctrl+C in the panel, then the clipboard as another program reads it. A host that keeps
    // the keyboard forwards the key as the letter with the Ctrl modifier.
    std::string copied(bool forwardedByHost = false)
    {
        clipboard.takeClipboard();
        if (forwardedByHost) {
            plugin->dispatch(effEditKeyDown, 'c', 0, nullptr, static_cast<float>(MODIFIER_COMMAND));
        } else {
            editor->pressKey("Control_L");
            editor->typeKeys({"c"});
            editor->releaseKey("Control_L");
        }
        EXPECT_TRUE(editor->pumpUntil([&] { return clipboard.someoneElseOwns(); }, kTimeoutMs)) << "Ctrl+C copied";
        return clipboard.read(*editor).value_or("(no answer)");
    }

    UserFolderSandbox folders;
    ClipboardReader clipboard;
    std::unique_ptr<lfhost::PluginInstance> plugin;
    std::unique_ptr<lfhost::EditorHost> editor;
};

TEST_F(ScriptConsole, ShowsTheErrorOfAFailingTimerWithItsFileAndLine)
{
    addScript("failing-timer.lua", "requestTimedCallback(0.01, function()\n"
                                   "    error('the timer broke')\n"
                                   "end)\n");
    openConsole();
    ASSERT_TRUE(editor);
    const std::string text = copied();
    EXPECT_NE(text.find("timer  "), std::string::npos) << text;
    EXPECT_NE(text.find("failing-timer.lua:2: the timer broke\n"), std::string::npos) << text;
    const auto shot = editor->capture();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(shot->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-script-console.png"));
}

TEST_F(ScriptConsole, CopiesWithCtrlCFromTheKeyboardOrTheHostClearEmptiesItAndCloseGivesTheDisplayBack)
{
    addScript("talks.lua", "print('hello from talks')\n");
    openConsole();
    ASSERT_TRUE(editor);
    EXPECT_NE(copied().find("talks.lua:1  hello from talks\n"), std::string::npos);
    const std::string forwarded = copied(true);
    EXPECT_NE(forwarded.find("talks.lua:1  hello from talks\n"), std::string::npos) << forwarded;
    click(kPanelClearX, kPanelButtonY);
    EXPECT_EQ(copied(), "");
    click(kPanelCloseX, kPanelButtonY);
    EXPECT_TRUE(editor->pumpUntil(
        [&] { return editor->capture()->pixel(kPanelCloseX, kPanelButtonY)[2] != panelButtonBlue(); }, kTimeoutMs));
}

TEST_F(ScriptConsole, TheWheelScrollsBackAndAClickSelectsTheLineToCopy)
{
    addScript("counts.lua", "for i = 1, 100 do print('line ' .. i) end\n");
    openConsole();
    ASSERT_TRUE(editor);
    click(kFirstRowX, kFirstRowY);
    const std::string place = "counts.lua:1  line ";
    const auto shownFirst = [&] {
        const std::string text = copied();
        const std::size_t at = text.find(place);
        EXPECT_NE(at, std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
        return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + place.size());
    };
    const int newest = shownFirst();
    EXPECT_GT(newest, 1) << "the newest lines show";
    editor->pressButton(4);  // one notch up
    editor->releaseButton(4);
    click(kFirstRowX, kFirstRowY);
    EXPECT_EQ(shownFirst(), newest - 3);
}

// What a skin prints goes to the console too, with its place; a skin that fails says so there.
TEST_F(ScriptConsole, ShowsWhatASkinPrintedAndThatItFailed)
{
    std::ofstream(folders.skinResources("Broken") / "gui.lua") << "print('the broken skin starts')\n"
                                                                   "error('no layout today')\n";
    platform::writePreferenceString("Skin", "Broken");
    openConsole();
    ASSERT_TRUE(editor);
    const std::string text = copied();
    EXPECT_NE(text.find("gui.lua\"]:1  the broken skin starts\n"), std::string::npos) << text;
    EXPECT_NE(text.find("editor layout  Error: the skin \"Broken\""), std::string::npos) << text;
    EXPECT_NE(text.find("made no layout (failed to run buffer: [string \"gui.lua\"]:2: no layout today); using the "
                        "built-in layout"),
              std::string::npos)
        << text;
}

}  // namespace
