// Texts shortened to their place: a web address keeps both ends, a script's path keeps its
// file name and line (Lua's own shortening used to leave "...nm/data/..." at the front and
// push the file name out of the console's panel).

#include "editor/toolkit/Font.h"
#include "editor/toolkit/TextElision.h"
#include "platform/FontLocator.h"

#include <gtest/gtest.h>

namespace {

class TextElision : public testing::Test {
protected:
    static void SetUpTestSuite() { font = QN::Font::fromFile(platform::locateFontFile("DejaVuSans.ttf"), 12).release(); }
    static void TearDownTestSuite() { delete font; }
    static float width(const std::string& text) { return font->measureText(text); }
    static inline QN::Font* font = nullptr;
};

TEST_F(TextElision, AWebAddressThatIsTooWideKeepsItsBothEnds)
{
    ASSERT_TRUE(font);
    const std::string address = "https://corvanne.example/lumenfold";
    EXPECT_EQ(QN::elideMiddle(*font, address, width(address)), address);
    const std::string shown = QN::elideMiddle(*font, address, width(address) * 0.6f);
    EXPECT_LE(width(shown), width(address) * 0.6f);
    EXPECT_EQ(shown.rfind("https://", 0), 0u) << shown;
    EXPECT_NE(shown.find("...lumenfold"), std::string::npos) << shown;
}

TEST_F(TextElision, APathLosesWholeFoldersFromTheFrontButNeverItsFileAndLine)
{
    ASSERT_TRUE(font);
    const std::string error = "...nm/data/Corvanne/Lumenfold/Scripts/failing-timer.lua:2: the timer broke";
    const std::string kept = ".../Scripts/failing-timer.lua:2: the timer broke";
    const struct {
        std::string text;
        float width;
        std::string shown;
    } cases[] = {
        {error, 10000, ".../data/Corvanne/Lumenfold/Scripts/failing-timer.lua:2: the timer broke"},
        {error, width(kept), kept},
        {error, 1, ".../failing-timer.lua:2: the timer broke"},
        {"/home/a/Scripts/x.lua:3: boom", 1, ".../x.lua:3: boom"},
        {"/home/a/Scripts/x.lua:3: boom", 10000, "/home/a/Scripts/x.lua:3: boom"},
        {"[string \"gui.lua\"]:1: no/such/thing", 1, "[string \"gui.lua\"]:1: no/such/thing"},
    };
    for (const auto& c : cases) EXPECT_EQ(QN::elideLeadingFolders(*font, c.text, c.width), c.shown) << c.text;
}

}  // namespace
