// The parameter controls, the spectrum display's bin editing and the preferences panel,
// driven through the manager without a window.

#include "FakePluginConnection.h"

#include "editor/product/PreferencesPanel.h"
#include "editor/toolkit/DropDown.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/LabelledTextField.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/NumericFormat.h"
#include "editor/toolkit/PembKnob.h"
#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/toolkit/TexturedKnobRenderer.h"
#include "editor/toolkit/TexturedMeters.h"
#include "editor/product/WaveformDisplay.h"
#include "UserFolderSandbox.h"
#include "engine/model/DisplayBlock.h"
#include "platform/PreferenceStore.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <cmath>

namespace {

using QN::Point;

class ControlsTest : public testing::Test {
protected:
    ControlsTest()
    {
        manager.setSize(1024, 512);
        QN::Manager::Hooks hooks;
        manager.setHooks(hooks);
    }
    void typeText(const std::string& text)
    {
        for (char c : text) manager.typeCharacter(c);
    }

    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    QN::Manager manager{plugin, pending};
    QN::TexturedKnobRenderer renderer{nullptr, nullptr, 1, 1, 37};
};

// ---- knobs -------------------------------------------------------------------------

TEST_F(ControlsTest, KnobDragFollowsThePointerCoarseFineAndInWholeUnits)
{
    auto* knob = manager.make<QN::PembKnob>(ParameterId::ViewSmoothing, "", renderer, 100, 100, 37);
    manager.root().add(knob);
    plugin.setValue(ParameterId::ViewSmoothing, 0);
    manager.parameters().refreshAllControls();

    manager.press({118, 118}, 0);
    manager.drag({118, 218}, 0);  // 100 px up: half the range
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::ViewSmoothing), 1000.0f);
    manager.release({118, 218}, 0);

    manager.parameters().refreshAllControls();
    manager.press({118, 118}, QN::ModifierShift);
    manager.drag({118, 218}, QN::ModifierShift);  // a tenth as far
    EXPECT_NEAR(plugin.plainValue(ParameterId::ViewSmoothing), 1100.0f, 0.05f);
    manager.release({118, 218}, QN::ModifierShift);

    manager.parameters().refreshAllControls();
    manager.press({118, 118}, QN::ModifierControl);
    manager.drag({118, 118.3f}, QN::ModifierControl);
    const float snapped = plugin.plainValue(ParameterId::ViewSmoothing);
    EXPECT_NEAR(snapped, std::round(snapped), 1e-3f);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 10", "end 10", "update", "begin 10", "end 10", "update",
                                                    "begin 10"}));
}

TEST_F(ControlsTest, AltClickRestoresTheDefaultAndAClickFlipsATwoStateKnob)
{
    auto* gain = manager.make<QN::PembKnob>(ParameterId::InputGain, "", renderer, 0, 0, 37);
    auto* axis = manager.make<QN::PembKnob>(ParameterId::ViewXAxis, "", renderer, 100, 0, 37);
    manager.root().add(gain);
    manager.root().add(axis);
    plugin.setValue(ParameterId::InputGain, 12.0f);
    manager.press({10, 10}, QN::ModifierAlt);
    manager.release({10, 10}, QN::ModifierAlt);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), 0.0f);

    plugin.setValue(ParameterId::ViewXAxis, 0.0f);
    manager.press({110, 10}, 0);
    manager.release({110, 10}, 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::ViewXAxis), 1.0f);
    manager.press({110, 10}, 0);
    manager.release({110, 10}, 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::ViewXAxis), 0.0f);
}

// ---- drop-downs --------------------------------------------------------------------

TEST_F(ControlsTest, DropDownMenuOpensWithTheCurrentItemOverTheControlAndStaysInTheWindow)
{
    auto* fft = manager.make<QN::DropDown>(ParameterId::FftSize, 100, 200, 50, 12);
    manager.root().add(fft);
    plugin.setValue(ParameterId::FftSize, 5);
    manager.press({110, 205}, 0);
    EXPECT_EQ(fft->highlighted(), 5);
    EXPECT_FLOAT_EQ(fft->menu().bottom, 200 - 2 * 12);  // items 6 and 7 below
    EXPECT_FLOAT_EQ(fft->menu().height, 8 * 12);
    manager.drag({110, 180}, 0);  // item 7 lies at 176..188
    EXPECT_EQ(fft->highlighted(), 7);
    manager.release({110, 180}, 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::FftSize), 7.0f);
    EXPECT_EQ(fft->highlighted(), -1);

    auto* low = manager.make<QN::DropDown>(ParameterId::FftSize, 300, 5, 50, 12);
    manager.root().add(low);
    plugin.setValue(ParameterId::FftSize, 0);
    manager.press({310, 8}, 0);
    EXPECT_FLOAT_EQ(low->menu().bottom, 0.0f);
    EXPECT_FLOAT_EQ(low->menu().parentBottom, 0.0f);
    manager.release({600, 8}, 0);  // outside the menu: nothing chosen
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::FftSize), 0.0f);

    auto* high = manager.make<QN::DropDown>(ParameterId::FftSize, 500, 500, 50, 12);
    manager.root().add(high);
    plugin.setValue(ParameterId::FftSize, 7);
    manager.press({510, 505}, 0);
    EXPECT_FLOAT_EQ(high->menu().bottom + high->menu().height, 512.0f);
}

// ---- text fields -------------------------------------------------------------------

class TextFieldTest : public ControlsTest {
protected:
    TextFieldTest()
    {
        field = manager.make<QN::LabelledTextField>(ParameterId::InputGain, "%.1f", "Input", 0, 0, 37, 12);
        manager.root().add(field);
        manager.press({5, 5}, 0);
        manager.release({5, 5}, 0);
        plugin.log.clear();
    }
    QN::LabelledTextField* field = nullptr;
};

TEST_F(TextFieldTest, TypedNumberIsSetAtEnterInsideOneEditGesture)
{
    typeText("-1.5");
    EXPECT_EQ(field->text(), "-1.5");
    manager.typeCharacter(13);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), -1.5f);
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 11", "end 11"}));
    EXPECT_FALSE(field->isEditing());
}

TEST_F(TextFieldTest, OnlyOnePointALeadingMinusAndFifteenCharactersAreTaken)
{
    typeText("1.2.3-x");
    EXPECT_EQ(field->text(), "1.23");
    manager.typeCharacter(8);
    EXPECT_EQ(field->text(), "1.2");
    typeText("99999999999999999");
    EXPECT_EQ(field->text().size(), 15u);
}

// Keys that start no entry (Enter, Backspace, a letter) leave the shown value as it is and
// set nothing; erasing every typed character shows the value again.
TEST_F(TextFieldTest, KeysThatStartNoEntryKeepTheShownValue)
{
    const auto measure = [](const std::string& text) { return static_cast<float>(text.size()); };
    field->refresh(measure);
    const std::string shown = field->text();
    ASSERT_EQ(shown, "0.0");
    for (char key : {char(13), char(8), 'x'}) {
        manager.typeCharacter(key);
        field->refresh(measure);
        EXPECT_EQ(field->text(), shown) << int(key);
    }
    EXPECT_TRUE(plugin.log.empty());
    typeText("7");
    manager.typeCharacter(8);
    field->refresh(measure);
    EXPECT_EQ(field->text(), shown);
    EXPECT_FALSE(field->isEditing());
}

TEST_F(TextFieldTest, UnparsableTextStaysAndFocusLossAbandonsIt)
{
    typeText("-");
    manager.typeCharacter(13);
    EXPECT_TRUE(field->isEditing());
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), 0.0f);
    manager.press({500, 500}, 0);  // anywhere else
    EXPECT_FALSE(field->isEditing());
    manager.typeCharacter('5');
    EXPECT_FALSE(field->isEditing());  // no longer focused: nothing reaches it
}

TEST(NumericFormat, AcceptsOneFloatingConversionWithShortWidthAndPrecision)
{
    EXPECT_TRUE(QN::NumericFormat::parse("%.1f"));
    EXPECT_TRUE(QN::NumericFormat::parse("%+6.2e dB %%"));
    EXPECT_TRUE(QN::NumericFormat::parse("%99.99g"));
    // A skin's format must not be able to make one field megabytes long.
    for (const char* unsafe : {"%s", "%n", "%d", "%f %f", "", "%", "%.1f%", "%*f", "%lf", "%.100f", "%100f",
                               "%.99999999f", "%0000000099999f"}) {
        EXPECT_FALSE(QN::NumericFormat::parse(unsafe)) << unsafe;
    }
}

TEST(NumericFormat, FormatsWithAPointUnderACommaLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh makes it)";
    }
    const std::string formatted = QN::NumericFormat::parse("%.2f")->format(-1.5);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(formatted, "-1.50");
}

// ---- spectrum display --------------------------------------------------------------

class DisplayTest : public ControlsTest {
protected:
    DisplayTest()
    {
        block.fftSizeIndex.store(5);  // 513 bins
        block.frequencyAxisLog.store(false);
        display = manager.make<QN::WaveformDisplay>(0, 0, 513, 100, &block);
        manager.root().add(display);
    }
    // The x of a bin's centre and the y of a level, with the linear axis.
    static Point at(int bin, float level) { return {static_cast<float>(bin) + 0.5f, level * 50.0f}; }

    DisplayBlock block;
    QN::WaveformDisplay* display = nullptr;
};

TEST_F(DisplayTest, DraggingSetsEveryBinAlongTheLineWithOneGestureAndNoAutomation)
{
    manager.press(at(10, 1.0f), 0);
    manager.drag(at(20, 0.0f), 0);
    for (int k = 10; k <= 20; ++k) {
        EXPECT_NEAR(plugin.plainValue(kBinLevelBase + k), 1.0f - 0.1f * static_cast<float>(k - 10), 1e-6f) << k;
    }
    manager.drag(at(15, 1.0f), 0);  // back: 15..19 along the line towards (20, 0)
    for (int k = 15; k <= 19; ++k) {
        EXPECT_NEAR(plugin.plainValue(kBinLevelBase + k), 1.0f - 0.2f * static_cast<float>(k - 15), 1e-6f) << k;
    }
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 20), 0.0f);
    manager.release(at(15, 1.0f), 0);
    EXPECT_TRUE(plugin.automated.empty());
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 42", "end 42", "update"}));
}

TEST_F(DisplayTest, ControlEditsOnlyTheFirstBinAndAltResetsOneBinWithoutDragging)
{
    manager.press(at(30, 0.5f), QN::ModifierControl);
    manager.drag(at(40, 0.2f), QN::ModifierControl);
    manager.release(at(40, 0.2f), QN::ModifierControl);
    EXPECT_NEAR(plugin.plainValue(kBinLevelBase + 30), 0.2f, 1e-6f);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 31), 1.0f);

    manager.press(at(30, 0.0f), QN::ModifierAlt);
    manager.drag(at(35, 0.0f), QN::ModifierAlt);
    manager.release(at(35, 0.0f), QN::ModifierAlt);
    EXPECT_FLOAT_EQ(plugin.plainValue(kBinLevelBase + 30), 1.0f);
    EXPECT_FLOAT_EQ(display->level(30), 1.0f);
}

TEST_F(DisplayTest, PointsMapToBinsOnBothAxesAndOnlyShownBinsAreReached)
{
    EXPECT_EQ(display->pointToBin({600, 10}, display->box()).bin, 512);  // limited to N/2
    block.frequencyAxisLog.store(true);
    const float belowBinOne = std::log(2.0f) / std::log(2051.0f) * 513.0f - 0.5f;
    EXPECT_EQ(display->pointToBin({belowBinOne, 10}, display->box()).bin, 0);
    EXPECT_EQ(display->pointToBin({513, 10}, display->box()).bin, 512);
    const QN::Box column = display->column(100, display->box());
    const int middle = display->pointToBin(column.centre(), display->box()).bin;
    EXPECT_EQ(middle, 100);
}

TEST(DisplayLevels, SmoothingAndDecibelsFollowTheViewSettings)
{
    EXPECT_FLOAT_EQ(QN::WaveformDisplay::smoothingFactor(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(QN::WaveformDisplay::smoothingFactor(500.0f), std::exp(-5.2f / 15.0f));
    EXPECT_FLOAT_EQ(QN::WaveformDisplay::levelOf(0.0f, 1024, true, -160.0f), -160.0f);
    // A full-scale sine's bin has amplitude N/2: 0 dB.
    EXPECT_NEAR(QN::WaveformDisplay::levelOf(512.0f * 512.0f, 1024, true, -160.0f), 0.0f, 1e-4f);
    EXPECT_NEAR(QN::WaveformDisplay::levelOf(512.0f * 512.0f, 1024, false, 0.0f), 1.0f, 1e-6f);
    // Unsmoothed the new value shows at once, limited to the view; heights are above viewMin.
    EXPECT_FLOAT_EQ(QN::WaveformDisplay::smoothedHeight(50.0f, -20.0f, -160.0f, 0.0f, 0.0f), 140.0f);
    EXPECT_FLOAT_EQ(QN::WaveformDisplay::smoothedHeight(50.0f, 30.0f, -160.0f, 0.0f, 0.0f), 160.0f);
}

TEST(LevelMeters, LevelsOutsideZeroToOneAreLimited)
{
    QN::TexturedMeters meters(nullptr, 123, 0, 5, 81);
    EXPECT_FLOAT_EQ(meters.barHeight(0.5f), 40.5f);
    EXPECT_FLOAT_EQ(meters.barHeight(-1.0f), 0.0f);
    EXPECT_FLOAT_EQ(meters.barHeight(3.0f), 81.0f);
    EXPECT_FLOAT_EQ(meters.barHeight(std::nanf("")), 0.0f);
}

// ---- preferences panel -------------------------------------------------------------

class PanelTest : public ControlsTest {
protected:
    PanelTest()
    {
        PreferencesPanel::Actions actions;
        actions.applyPort = [this](int port) { applied.push_back(port); };
        actions.openUrl = [this](const std::string& url) { opened = url; };
        actions.oscAccessChanged = [this] { ++oscAccessChanges; };
        panel = manager.make<PreferencesPanel>(std::move(actions));
        panel->open();
    }
    void clickOn(PreferencesPanel::Part part)
    {
        const Point p = panel->boxOf(part).centre();
        manager.press(p, 0);
        manager.release(p, 0);
    }
    void enterPort(const std::string& text)
    {
        for (int i = 0; i < 6; ++i) manager.typeCharacter(8);
        typeText(text);
        manager.typeCharacter(13);
    }

    UserFolderSandbox folders;
    PreferencesPanel* panel = nullptr;
    std::vector<int> applied;
    std::string opened;
    int oscAccessChanges = 0;
};

TEST_F(PanelTest, ShowsTheDefaultsAndAppliesAPositivePortWithOk)
{
    EXPECT_TRUE(panel->isOpen());
    EXPECT_EQ(panel->portText(), "7000");
    for (int i = 0; i < 4; ++i) manager.typeCharacter(8);
    typeText("9x1-23");  // digits only
    EXPECT_EQ(panel->portText(), "9123");
    clickOn(PreferencesPanel::Part::Ok);
    EXPECT_EQ(applied, std::vector<int>{9123});
    EXPECT_FALSE(panel->isOpen());
}

TEST_F(PanelTest, ZeroEmptyOrOutOfRangePortsAreIgnoredButThePanelCloses)
{
    for (const char* text : {"0", "", "70000"}) {
        panel->open();
        enterPort(text);
        EXPECT_FALSE(panel->isOpen()) << text;
    }
    EXPECT_TRUE(applied.empty());
}

TEST_F(PanelTest, ASwitchIsStoredAtOnceEvenWhenThePanelIsCancelled)
{
    clickOn(PreferencesPanel::Part::FloatingTooltip);
    manager.typeCharacter(27);
    EXPECT_FALSE(panel->isOpen());
    EXPECT_EQ(platform::readPreferenceInt("Enable floating tooltip", 0), 1);
    panel->open();
    clickOn(PreferencesPanel::Part::EyeCandy);
    EXPECT_EQ(platform::readPreferenceInt("Enable eye candy", 1), 0);
    clickOn(PreferencesPanel::Part::WebButton);
    EXPECT_EQ(opened.rfind("https://", 0), 0u);
}

TEST_F(PanelTest, OscAccessSwitchesStartOffAndAreStoredAndAppliedAtOnce)
{
    using Part = PreferencesPanel::Part;
    for (const auto& [part, preference] : {std::pair{Part::OscReplyToAnyHost, "OSC Reply To Any Host"},
                                           std::pair{Part::OscAllowRemoteScripts, "OSC Allow Remote Scripts"}}) {
        SCOPED_TRACE(preference);
        EXPECT_EQ(platform::readPreferenceInt(preference, -1), -1);
        clickOn(part);
        EXPECT_EQ(platform::readPreferenceInt(preference, -1), 1);
    }
    EXPECT_EQ(oscAccessChanges, 2);
    EXPECT_EQ(platform::readPreferenceInt("Enable eye candy", 1), 1) << "each row is a switch of its own";
}

TEST_F(PanelTest, TheZoomRowStepsThroughTheZoomsAndStoresEachAtOnce)
{
    EXPECT_EQ(panel->zoomPercent(), 100);
    for (int expected : {125, 150, 200, 100}) {
        clickOn(PreferencesPanel::Part::Zoom);
        EXPECT_EQ(platform::readPreferenceInt("Zoom", -1), expected);
    }
    platform::writePreferenceInt("Zoom", 333);
    panel->open();
    EXPECT_EQ(panel->zoomPercent(), 100) << "a stored value that is not a step shows as 100";
}

TEST_F(PanelTest, WhileOpenItTakesThePointerFromTheLayout)
{
    auto* knob = manager.make<QN::PembKnob>(ParameterId::InputGain, "", renderer, 0, 0, 37);
    manager.root().add(knob);
    manager.press({10, 10}, 0);
    manager.drag({10, 100}, 0);
    manager.release({10, 100}, 0);
    EXPECT_FLOAT_EQ(plugin.plainValue(ParameterId::InputGain), 0.0f);
}

}  // namespace
