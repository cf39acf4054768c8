#include "platform/CLocaleScope.h"
#include "platform/FileSystem.h"
#include "platform/MessageOutput.h"

#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <future>
#include <locale.h>
#include <mutex>

namespace {

TEST(MessageOutput, ErrorIsOneLineOnStandardError) {
    ::testing::internal::CaptureStderr();
    platform::showError("GL set-up failed");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: GL set-up failed\n");
}

TEST(FileSystem, MakeDirectoriesCreatesMissingParentsButNotThroughFiles) {
    TemporaryFolder root;
    EXPECT_TRUE(platform::makeDirectories(root / "a/b/c"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "a/b/c"));
    EXPECT_TRUE(platform::makeDirectories(root / "a/b/c"));
    std::FILE* file = std::fopen((root / "plain").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_FALSE(platform::makeDirectories(root / "plain/sub"));
}

TEST(CLocaleScope, RestoresTheThreadsLocaleAndLeavesTheProcessLocaleAlone) {
    const std::string processLocale = std::setlocale(LC_ALL, nullptr);
    const locale_t utf8 = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    ASSERT_NE(utf8, static_cast<locale_t>(nullptr));
    const locale_t before = ::uselocale(utf8);
    {
        platform::CLocaleScope outer;
        EXPECT_NE(::uselocale(static_cast<locale_t>(nullptr)), utf8);
        {
            platform::CLocaleScope inner;
        }
        EXPECT_NE(::uselocale(static_cast<locale_t>(nullptr)), utf8);
    }
    EXPECT_EQ(::uselocale(static_cast<locale_t>(nullptr)), utf8);
    ::uselocale(before);
    ::freelocale(utf8);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), processLocale);
}

// Only meaningful where a locale with a decimal comma is installed.
TEST(CLocaleScope, NumbersUseADotUnderACommaLocale) {
    const locale_t comma = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    if (comma == static_cast<locale_t>(nullptr)) GTEST_SKIP() << "no de_DE.UTF-8 locale installed";
    const locale_t before = ::uselocale(comma);
    char text[16];
    {
        platform::CLocaleScope scope;
        std::snprintf(text, sizeof text, "%.1f", 1.5);
    }
    ::uselocale(before);
    ::freelocale(comma);
    EXPECT_STREQ(text, "1.5");
}

}  // namespace
