// savePreset and loadPreset read and write files: on the audio thread (a note handler or
// a spectral script) they refuse before touching any file.

#include "ScriptedInstance.h"
#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(PresetScript, RefusedOnTheAudioThreadWithoutTouchingAFile)
{
    ScriptedInstance instance;
    ASSERT_EQ(instance.run("function saveNow() savePreset('Live') end"), "");
    TestScriptHelper& helper = instance.helper();
    ASSERT_TRUE(helper.holdForAudio());
    lua_State* L = helper.stateForCaller();
    lua_getglobal(L, "saveNow");
    ASSERT_NE(lua_pcall(L, 0, 0, 0), 0);
    const std::string error = lua_tostring(L, -1);
    lua_pop(L, 1);
    helper.endAudioBlock();
    EXPECT_NE(error.find("savePreset reads and writes files and cannot run on the audio thread"), std::string::npos)
        << error;
    EXPECT_FALSE(std::filesystem::exists(presetsFolder() + "Live.preset"));
    EXPECT_EQ(instance.run("saveNow()"), "");  // from any other thread it works
    EXPECT_TRUE(std::filesystem::exists(presetsFolder() + "Live.preset"));
}
