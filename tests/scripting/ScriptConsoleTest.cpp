#include "engine/scripting/ScriptConsole.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

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

// A script failing on every frame, then a flood of prints: the first error comes first,
// its repeats are one exact count whatever the writer's pace, and each note of dropped
// lines stands exactly where that many lines are missing.
TEST(ScriptConsoleOutput, FloodsWriteTheFirstErrorFirstAndCountEveryLineExactly)
{
    constexpr int kRepeats = 5000;
    constexpr int kPrints = 3000;
    testing::internal::CaptureStderr();
    {
        QN::ScriptConsole console;
        for (int i = 0; i < kRepeats; ++i) console.postError("spectral script", "s.lua:1: broke");
        for (int i = 0; i < kPrints; ++i) console.post("s.lua:2", ("line " + std::to_string(i)).c_str());
    }
    std::istringstream written(testing::internal::GetCapturedStderr());
    std::string line;
    ASSERT_TRUE(std::getline(written, line));
    EXPECT_EQ(line, "s.lua:1: broke");
    ASSERT_TRUE(std::getline(written, line));
    EXPECT_EQ(line, "(the line before was repeated " + std::to_string(kRepeats - 1) + " times)");
    int next = 0;
    while (std::getline(written, line)) {
        std::size_t dropped = 0;
        if (std::sscanf(line.c_str(), "(%zu script lines were dropped: too many at once)", &dropped) == 1) {
            next += static_cast<int>(dropped);
            continue;
        }
        ASSERT_EQ(line, "line " + std::to_string(next)) << "the count before it is not what was dropped";
        ++next;
    }
    EXPECT_EQ(next, kPrints);
}
