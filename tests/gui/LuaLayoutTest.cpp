// The layout script builder: the built-in layout, skins, and every function's errors.

#include "FakePluginConnection.h"
#include "UserFolderSandbox.h"
#include "support/ChildProcess.h"

#include "editor/product/PluginLuaGui.h"
#include "editor/product/TKmanager.h"
#include "editor/toolkit/Button.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/NamedGroup.h"
#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/product/WaveformDisplay.h"
#include "platform/PreferenceStore.h"
#include "engine/model/DisplayBlock.h"
#include "engine/scripting/LuaHeaders.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class LuaLayoutTest : public testing::Test {
protected:
    LuaLayoutTest()
    {
        plugin.display = &block;
        QN::Manager::Hooks hooks;
        manager.setHooks(hooks);
    }
    // Installs script as the skin "Test" and builds the layout from it.
    void buildSkin(const std::string& script)
    {
        std::ofstream(folders.skinResources("Test") / "gui.lua") << script;
        platform::writePreferenceString("Skin", "Test");
        build();
    }
    void build()
    {
        builder = std::make_unique<PluginLuaGui>(plugin, [this] { ++preferencesOpened; });
        builder->buildUI(manager);
    }
    // A global of the layout state as text ("nil" when unset).
    std::string global(const char* name)
    {
        lua_State* L = builder->luaState();
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string result = text ? text : (lua_isboolean(L, -1) ? (lua_toboolean(L, -1) ? "true" : "false") : "nil");
        lua_pop(L, 1);
        return result;
    }
    template <class T>
    int count()
    {
        int n = 0;
        for (const auto& element : manager.elements()) n += dynamic_cast<T*>(element.get()) != nullptr;
        return n;
    }

    UserFolderSandbox folders;
    DisplayBlock block;
    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    TKmanager manager{plugin, pending};
    std::unique_ptr<PluginLuaGui> builder;
    int preferencesOpened = 0;
};

TEST_F(LuaLayoutTest, TheBuiltInLayoutMakesItsGroupsDisplayAndButtons)
{
    build();
    EXPECT_EQ(manager.width(), 1024);
    EXPECT_EQ(manager.height(), 512);
    EXPECT_EQ(count<QN::NamedGroup>(), 6);
    EXPECT_EQ(count<QN::WaveformDisplay>(), 1);
    EXPECT_EQ(count<QN::Button>(), 7);  // "Prefs", five bin-level operations, "Console"
    EXPECT_EQ(global("paramID_Bin0Level"), "32");
    // Groups follow one another by their measured widths; the display sits above them.
    EXPECT_EQ(global("isMac"), "false");
    lua_State* L = builder->luaState();
    ASSERT_EQ(luaL_dostring(L, "local x = mixGroup:bounds(); positionOfMix = x"), 0);
    EXPECT_EQ(global("positionOfMix"), "220");  // 20 + 165 + 10 + 35, less the padding
}

TEST_F(LuaLayoutTest, BulkOperationsSetTheBinLevelsQuietly)
{
    build();
    lua_State* L = builder->luaState();
    ASSERT_EQ(luaL_dostring(L, "allZero()"), 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase), 0.0f);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 2048), 0.0f);
    ASSERT_EQ(luaL_dostring(L, "allOne() oddToZero()"), 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 2047), 0.0f);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 2048), 1.0f);
    ASSERT_EQ(luaL_dostring(L, "allOne() evenToZero() invert()"), 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase), 1.0f);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 1), 0.0f);
    EXPECT_TRUE(plugin.automated.empty());
    EXPECT_TRUE(plugin.log.empty());
}

TEST_F(LuaLayoutTest, FunctionsReportTheirErrorsAndReadTheirLastArguments)
{
    buildSkin(R"(
        function getWindowSize() return 400.4, 299.6 end
        local function try(f, ...) local ok, message = pcall(f, ...) return message end
        function createUI()
            theKnobRenderer = knobRenderer(texture("a.png"), texture("b.png"), 1, 1, 37)
            sixArguments = knob("ignored", "Dry Level", "", 10, 10, 37) ~= nil
            g = group("G")
            g.setPosition("ignored", g, 5, 7)
            g:add(label("x", 0, 0, 10, 10))
            gx, gy = g:bounds()
            unknown = try(getParameterID, "Nope")
            dummy = getParameterID("Dummy")
            badSlider = try(slider, "Dry Level", 0, 0, 10, 10, "diagonal")
            noSlider = try(slider, "Dry Level", 0, 0, 10, 10, "horizontal")
            noButton = try(button, "Capture", "x", 0, 0, 10, 10)
            notFunction = try(luaButton, 1, "x", "t", "push", 0, 0, 10, 10)
            badMeter = try(function() levelMeters(texture("a.png"), 0, 0, 5, 81):add("side", 0, 0, 0) end)
            badChannel = try(function() levelMeters(texture("a.png"), 0, 0, 5, 81):add("input", 2, 0, 0) end)
            notElement = try(add, 5)
            groupIsNoElement = try(add, g)
            outOfRange = try(setParameter, 5000, 1)
            prefs = button("Prefs", "Prefs", 0, 0, 10, 10) ~= nil
        end)");
    EXPECT_EQ(manager.width(), 400);
    EXPECT_EQ(manager.height(), 300);
    EXPECT_EQ(global("sixArguments"), "true");
    EXPECT_EQ(global("unknown"), "parameter not found: 'Nope'");
    EXPECT_EQ(global("dummy"), "31");
    EXPECT_EQ(global("badSlider"), "unknown slider orientation: diagonal");
    EXPECT_EQ(global("noSlider"), "no slider support");
    EXPECT_EQ(global("noButton"), "button not found: Capture");
    EXPECT_EQ(global("notFunction"), "first argument to luaButton() is not a function");
    EXPECT_NE(global("badMeter").find("unknown level meter: side"), std::string::npos);
    EXPECT_NE(global("badChannel").find("level meter index out of range: 2"), std::string::npos);
    EXPECT_NE(global("notElement").find("element expected"), std::string::npos);
    EXPECT_NE(global("groupIsNoElement").find("element"), std::string::npos);
    EXPECT_NE(global("outOfRange").find("out of range"), std::string::npos);
    EXPECT_EQ(global("prefs"), "true");
    // The position came from the last two numbers; the frame pads the label by 10.
    EXPECT_EQ(global("gx"), "-5");
    EXPECT_EQ(global("gy"), "-3");
}

TEST_F(LuaLayoutTest, ASkinSeesTheScaleAndRestylesOrHidesTheGridWithCheckedArguments)
{
    std::ofstream(folders.skinResources("Test") / "gui.lua") << R"(
        local function try(f, ...) local ok, message = pcall(f, ...) return message end
        scaleAtLoad = editorScale
        function createUI()
            wd = waveformDisplay(0, 0, 100, 100)
            wd:setGridColour(2, -1, 0/0, 0.5)
            wd:setGridLabelColour(0.7, 0.9, 1)
            chained = wd:showGrid(true, false) == wd
            badColour = try(wd.setGridColour, wd, "red", 0, 0, 1)
            add(wd)
        end)";
    platform::writePreferenceString("Skin", "Test");
    builder = std::make_unique<PluginLuaGui>(plugin, [] {});
    builder->setScale(2.0f);
    builder->buildUI(manager);
    EXPECT_EQ(global("scaleAtLoad"), "2");
    EXPECT_EQ(global("chained"), "true");
    EXPECT_NE(global("badColour").find("number expected"), std::string::npos) << global("badColour");
    EXPECT_FALSE(builder->skinFailed());
}

TEST_F(LuaLayoutTest, SetParameterTellsTheHostOnlyWhenAskedTo)
{
    build();
    lua_State* L = builder->luaState();
    ASSERT_EQ(luaL_dostring(L, "setParameter('Input Gain', -6, false)"), 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), -6.0f);
    EXPECT_TRUE(plugin.log.empty());
    EXPECT_TRUE(plugin.automated.empty());
    ASSERT_EQ(luaL_dostring(L, "setParameter(11, 3)"), 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), 3.0f);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 11", "end 11"}));
    EXPECT_EQ(plugin.automated, std::vector<int>{ParameterId::InputGain});
}

TEST_F(LuaLayoutTest, TheLayoutCannotBeChangedAfterItWasBuilt)
{
    build();
    const std::size_t before = manager.elements().size();
    lua_State* L = builder->luaState();
    EXPECT_NE(luaL_dostring(L, "label('late', 0, 0, 10, 10)"), 0);
    lua_pop(L, 1);
    EXPECT_NE(luaL_dostring(L, "button('Prefs', 'Prefs', 0, 0, 10, 10)"), 0);
    lua_pop(L, 1);
    EXPECT_EQ(manager.elements().size(), before);
}

TEST_F(LuaLayoutTest, ASkinThatFailsHalfwayKeepsWhatItMade)
{
    buildSkin(R"(
        function getWindowSize() return 300, 200 end
        function createUI()
            add(label("first", 0, 0, 50, 12))
            add(label(nil, 0, 0, 50, 12))
            add(label("never", 0, 0, 50, 12))
        end)");
    EXPECT_EQ(manager.root().children().size(), 1u);
}

// A skin allocating without bound meets the memory ceiling: its createUI fails with Lua's
// memory error and what it made before stays, instead of the host running out of memory.
TEST_F(LuaLayoutTest, ASkinAllocatingWithoutBoundStopsAtTheCeiling)
{
    buildSkin(R"(
        function getWindowSize() return 300, 200 end
        function createUI()
            add(label("first", 0, 0, 50, 12))
            local hoard = {}
            while true do hoard[#hoard + 1] = string.rep("x", 1000000) .. #hoard end
        end)");
    EXPECT_EQ(manager.root().children().size(), 1u);
    EXPECT_EQ(builder->windowSize(), std::make_pair(300, 200)) << "the state is still usable";
}

// Such a skin used to open a 0 x 0 window, whose X error ended the host.
TEST_F(LuaLayoutTest, ASkinThatDoesNotCompileFailsWithTheBuiltInSize)
{
    testing::internal::CaptureStderr();
    buildSkin("function getWindowSize( return 300 end");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Test/Contents/Resources/gui.lua) made no layout (failed to run buffer: "), std::string::npos)
        << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
    EXPECT_TRUE(builder->skinFailed());
    EXPECT_TRUE(manager.root().children().empty());
    EXPECT_EQ(std::make_pair(manager.width(), manager.height()), std::make_pair(1024, 512));
}

// A skin comes from anywhere: it may not run programs or open files (a command that never
// ends or a FIFO would hold the editor where no time limit reaches), load precompiled or
// native code, or give anything a finalizer (they run with the time limit's hook off).
TEST_F(LuaLayoutTest, ASkinCannotBlockLoadCodeOrMakeFinalizers)
{
    buildSkin(R"(
        local open = {}
        local function refuses(name, f, ...) if pcall(f, ...) then open[#open + 1] = name end end
        refuses('os.execute', os.execute, 'true')
        refuses('io.open', io.open, '/dev/null')
        refuses('io.lines', io.lines, '/dev/null')
        refuses('io.popen', io.popen, 'true')
        refuses('io.output', io.output, '/dev/null')
        refuses('dofile', dofile, '/dev/null')
        refuses('loadfile', loadfile, '/dev/null')
        refuses('load', load, function() return nil end)
        refuses('require', require, 'string')
        refuses('package.loadlib', package.loadlib, 'libc.so.6', 'puts')
        if next(package.loaders) then open[#open + 1] = 'package.loaders' end
        if loadstring(string.dump(function() end)) then open[#open + 1] = 'precompiled chunks' end
        if loadstring('return 1')() ~= 1 then open[#open + 1] = '(source text is refused)' end
        if newproxy then open[#open + 1] = 'newproxy' end
        if getmetatable(io.stdout) ~= 'locked' then open[#open + 1] = 'file metatable' end
        if debug.getregistry or debug.setmetatable or debug.setupvalue then open[#open + 1] = 'debug' end
        doorsLeftOpen = table.concat(open, ', ')
        function createUI() add(label('x', 0, 0, 9, 9)) end)");
    EXPECT_EQ(global("doorsLeftOpen"), "");
    EXPECT_FALSE(builder->skinFailed());
}

TEST_F(LuaLayoutTest, AWindowSizeThatIsNotTwoSaneNumbersGivesTheBuiltInSize)
{
    platform::writePreferenceString("Skin", "Test");
    for (const char* size : {"'wide', 200", "300", "0, 200", "300, 4097", "0/0, 200", "error('no size')"}) {
        std::ofstream(folders.skinResources("Test") / "gui.lua") << "function getWindowSize() return " << size << " end";
        EXPECT_EQ(PluginLuaGui(plugin, nullptr).windowSize(), std::make_pair(1024, 512)) << size;
    }
}

// A layout state at its memory ceiling used to end the host when the editor asked for its
// size (the query's first call into Lua was outside protected mode): now that one request
// fails, the built-in size stands in, and the state goes on.
TEST_F(LuaLayoutTest, TheSizeQueryAtTheMemoryCeilingFailsAloneAndTheStateGoesOn)
{
    std::ofstream(folders.skinResources("Test") / "gui.lua") << "hoard = {}";
    platform::writePreferenceString("Skin", "Test");
    const ChildOutcome outcome = runInChild(std::chrono::seconds(20), [&] {
        PluginLuaGui probe(plugin, nullptr);
        lua_State* L = probe.luaState();
        QN::LuaMemoryBudget& memory = probe.memoryBudget();
        const std::size_t limit = memory.limit;
        memory.limit = memory.used;
        if (probe.windowSize() != std::make_pair(1024, 512)) return std::string("not the built-in size at the ceiling");
        memory.limit = limit;
        if (luaL_dostring(L, "function getWindowSize() return 300, 200 end") != 0) return std::string("state unusable");
        if (probe.windowSize() != std::make_pair(300, 200)) return std::string("the state no longer answers");
        return std::string();
    });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
}

TEST_F(LuaLayoutTest, ASkinFolderEndingInBundleIsFoundAndAMissingSkinFallsBackToTheBuiltInLayout)
{
    std::ofstream(folders.skinResources("Other.bundle") / "gui.lua") << "function getWindowSize() return 320, 240 end";
    platform::writePreferenceString("Skin", "Other");
    build();
    EXPECT_EQ(manager.width(), 320);

    platform::writePreferenceString("Skin", "Absent");
    PluginLuaGui fallback(plugin, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(fallback.windowSize(), std::make_pair(1024, 512));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fallback.skinFolder().empty());
    EXPECT_NE(err.find("there is no skin \"Absent\" in "), std::string::npos) << err;
    EXPECT_NE(err.find("(the skins there: Other); using the built-in layout\n"), std::string::npos) << err;
}

TEST_F(LuaLayoutTest, ThePrefsButtonRunsTheBuildersAction)
{
    build();
    for (const auto& element : manager.elements()) {
        auto* button = dynamic_cast<QN::Button*>(element.get());
        if (button && button->label() == "Prefs") button->mouseUp({0, 0}, 0);
    }
    EXPECT_EQ(preferencesOpened, 1);
}

}  // namespace
