#pragma once
// Points the preference file and the user's data folder (skins) at a fresh temporary
// folder for the life of the object, so tests never read or write the user's own.

#include <cstdlib>
#include <filesystem>
#include <string>

class UserFolderSandbox {
public:
    UserFolderSandbox()
    {
        char pattern[] = "/tmp/lumenfold-ui-XXXXXX";
        const char* made = mkdtemp(pattern);
        root_ = made ? made : "/tmp";
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    }
    ~UserFolderSandbox()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    UserFolderSandbox(const UserFolderSandbox&) = delete;
    UserFolderSandbox& operator=(const UserFolderSandbox&) = delete;

    // The Resources folder of a skin called name (created).
    [[nodiscard]] std::filesystem::path skinResources(const std::string& name) const
    {
        const auto folder = root_ / "data" / "Corvanne" / "Lumenfold" / "Skins" / name / "Contents" / "Resources";
        std::filesystem::create_directories(folder);
        return folder;
    }

private:
    std::filesystem::path root_;
};
