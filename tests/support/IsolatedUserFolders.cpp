// Every test process that links this gets its own empty configuration and data folders, so
// that the user's preferences and scripts never change what the tests see.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class IsolatedUserFolders : public testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumenfold-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        root_ = made;
        setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    std::string root_;
};

const auto* const registered = testing::AddGlobalTestEnvironment(new IsolatedUserFolders);

}  // namespace
