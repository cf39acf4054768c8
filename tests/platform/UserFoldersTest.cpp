#include "platform/UserFolders.h"

#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class UserFolders : public ::testing::Test {
protected:
    TemporaryFolder root;
    ScopedEnvironmentVariable dataHome{"XDG_DATA_HOME", root / "data"};
    const std::string scripts = root / "data/Corvanne/Lumenfold/Scripts/";
    const std::string skins = root / "data/Corvanne/Lumenfold/Skins/";

    void makeFile(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "-- script\n";
    }
};

TEST_F(UserFolders, FoldersLieUnderXdgDataHome) {
    EXPECT_EQ(applicationDataFolder(), root / "data");
    EXPECT_EQ(scriptsFolder(), scripts);
    EXPECT_EQ(skinPath("Night"), skins + "Night");
}

TEST_F(UserFolders, FallBackToHomeLocalShare) {
    ScopedEnvironmentVariable noDataHome("XDG_DATA_HOME", std::nullopt);
    ScopedEnvironmentVariable home("HOME", "/home/kim");
    EXPECT_EQ(applicationDataFolder(), "/home/kim/.local/share");
    EXPECT_EQ(scriptsFolder(), "/home/kim/.local/share/Corvanne/Lumenfold/Scripts/");
}

TEST_F(UserFolders, WithoutDataHomeOrHomeTheFoldersAreRelative) {
    ScopedEnvironmentVariable noDataHome("XDG_DATA_HOME", std::nullopt);
    ScopedEnvironmentVariable noHome("HOME", std::nullopt);
    EXPECT_EQ(applicationDataFolder(), "");
    EXPECT_EQ(scriptsFolder(), "Corvanne/Lumenfold/Scripts/");
    EXPECT_EQ(skinPath("Night"), "Corvanne/Lumenfold/Skins/Night");
}

TEST_F(UserFolders, ScriptFilesAreLuaFilesInByteOrderAppendedToTheList) {
    for (const char* name : {"b.lua", "B.lua", "a.lua", "notes.txt", "a.lua.bak", "lua"})
        makeFile(scripts + name);
    fs::create_directories(scripts + "folder.lua");
    std::vector<std::string> files{"already there"};
    listScriptFiles(files);
    EXPECT_EQ(files, (std::vector<std::string>{"already there", scripts + "B.lua", scripts + "a.lua",
                                               scripts + "b.lua"}));
}

TEST_F(UserFolders, MissingScriptsFolderGivesNoFiles) {
    std::vector<std::string> files;
    listScriptFiles(files);
    EXPECT_TRUE(files.empty());
}

TEST_F(UserFolders, ScriptsThatCannotBeOpenedAreLeftOut) {
    makeFile(scripts + "good.lua");
    fs::create_symlink(root / "nowhere.lua", scripts + "dangling.lua");
    const bool canTestPermissions = ::geteuid() != 0;  // root reads everything
    if (canTestPermissions) {
        makeFile(scripts + "locked.lua");
        fs::permissions(scripts + "locked.lua", fs::perms::none);
    }
    std::vector<std::string> files;
    listScriptFiles(files);
    EXPECT_EQ(files, std::vector<std::string>{scripts + "good.lua"});
}

TEST_F(UserFolders, SkinIsFoundUnderItsPlainName) {
    fs::create_directories(skins + "Night");
    fs::create_directories(skins + "Night.bundle");
    EXPECT_EQ(findSkin("Night"), skins + "Night");
}

TEST_F(UserFolders, SkinFallsBackToTheBundleName) {
    fs::create_directories(skins + "Night.bundle/Contents/Resources");
    EXPECT_EQ(findSkin("Night"), skins + "Night.bundle");
}

TEST_F(UserFolders, MissingSkinGivesAnEmptyPath) {
    fs::create_directories(skins);
    EXPECT_EQ(findSkin("Night"), "");
}

// The skin name comes from the preference file; it must not reach folders
// outside the skins folder even when they exist.
TEST_F(UserFolders, SkinNamesThatLeaveTheSkinsFolderAreRefused) {
    fs::create_directories(skins + "Night/inner");
    fs::create_directories(root / "data/Corvanne/Lumenfold/outside");
    for (const char* name : {"", ".", "..", "../outside", "Night/inner", "/tmp"})
        EXPECT_EQ(findSkin(name), "") << '"' << name << '"';
}

}  // namespace
