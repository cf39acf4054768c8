// The host process runs under a locale whose decimal separator is a comma. Display
// texts and script results must read exactly as they do under "C".

#include "PluginFixture.h"
#include "UserScriptFolder.h"

#include <clocale>
#include <string>

namespace {

class HostLocale {
public:
    explicit HostLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr))
    {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~HostLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

std::vector<std::string> someDisplayTexts(lfhost::PluginInstance& plugin)
{
    plugin.setParameter(11, (-12.5f + 80.0f) / 116.0f);
    plugin.setParameter(100, 0.25f);
    plugin.setParameter(10, 0.3f);
    std::vector<std::string> texts;
    for (int id : {3, 6, 10, 11, 12, 100, 2080}) {
        texts.push_back(plugin.parameterDisplay(id));
    }
    return texts;
}

}  // namespace

TEST(GermanLocale, DisplayTextsAndScriptNumbersUseAPoint)
{
    UserScriptFolder scripts;
    scripts.add("numbers.lua", R"(
        local loadedWell = tonumber("0.25") == 0.25 and 0.5 == 1 / 2
        requestNoteOn(60, function()
            setParameter("Scripted 2", loadedWell and tonumber("0.25") or 0)
            setParameter("Scripted 3", (tostring(0.5) == "0.5" and string.format("%.1f", 1.5) == "1.5") and 1 or 0)
            setParameter("Scripted 4", tonumber("0.75"))
        end))");
    const auto reference = someDisplayTexts(*loadPlugin());
    EXPECT_EQ(reference[3], "-12.50");

    HostLocale german("de_DE.UTF-8");
    if (!german.active()) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh makes it)";
    }
    char probe[16];
    std::snprintf(probe, sizeof(probe), "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5") << "the host's own formatting really uses a comma";

    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(someDisplayTexts(*plugin), reference);
    plugin->sendMidi({{0, {0x90, 60, 100}}});
    std::vector<float> in(64), outL(64), outR(64);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin->processReplacing(inputs, outputs, 64);
    EXPECT_EQ(plugin->getParameter(16), 0.25f) << "numbers in the script's text";
    EXPECT_EQ(plugin->getParameter(17), 1.0f) << "numbers made into text";
    EXPECT_EQ(plugin->getParameter(18), 0.75f);
}
