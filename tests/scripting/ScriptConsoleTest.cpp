#include "scripting/ScriptConsole.h"

#include <gtest/gtest.h>

// A script failing on every frame keeps one line with a count; Clear forgets the lines, and
// the same error then shows again (the editor's console would stay empty otherwise).
TEST(ScriptConsoleHistory, RepeatsAreCountedOnTheirLineAndClearLetsThemShowAgain)
{
    QN::ScriptConsole console;
    testing::internal::CaptureStderr();
    console.post("a.lua:1", "hello");
    for (int i = 0; i < 3; ++i) console.postError("timer", "a.lua:2: broke");
    console.flush();
    auto lines = console.history();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].error);
    EXPECT_TRUE(lines[1].error);
    EXPECT_EQ(lines[1].repeats, 2u);
    EXPECT_LT(lines[0].number, lines[1].number);

    console.clear();
    EXPECT_TRUE(console.history().empty());
    console.postError("timer", "a.lua:2: broke");
    console.flush();
    lines = console.history();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "a.lua:2: broke");
    EXPECT_EQ(lines[0].repeats, 0u);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "hello\na.lua:2: broke\n(the line before was repeated 2 times)\na.lua:2: broke\n") << written;
}
