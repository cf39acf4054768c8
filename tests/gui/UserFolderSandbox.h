#pragma once
// Points the preference file and the user's data folder (skins) at a fresh temporary
// folder for the life of the object, so tests never read or write the user's own.

#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <string>

class UserFolderSandbox {
public:
    UserFolderSandbox() = default;
    UserFolderSandbox(const UserFolderSandbox&) = delete;
    UserFolderSandbox& operator=(const UserFolderSandbox&) = delete;

    // The Resources folder of a skin called name (created).
    [[nodiscard]] std::filesystem::path skinResources(const std::string& name) const
    {
        const auto folder = std::filesystem::path(root_ / "data") / "Corvanne" / "Lumenfold" / "Skins" / name /
                            "Contents" / "Resources";
        std::filesystem::create_directories(folder);
        return folder;
    }

private:
    TemporaryFolder root_;
    ScopedEnvironmentVariable config_{"XDG_CONFIG_HOME", root_ / "config"};
    ScopedEnvironmentVariable data_{"XDG_DATA_HOME", root_ / "data"};
};
