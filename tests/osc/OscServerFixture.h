#pragma once
// Integration tests of the OSC server through the real plug-in: the base port is chosen
// free in the test's own preference file, user scripts go into its own script folder,
// and requests travel over UDP on 127.0.0.1.

#include "tools/host/PluginInstance.h"
#include "UdpTestPeer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class OscServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        base = UdpTestPeer::freePort() - 5;
        ASSERT_GT(base, 0);
        const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
        std::filesystem::create_directories(config);
        std::ofstream(config + "/com.corvanne.lumenfold.conf") << "OSC Base Port=" << base << "\n";
    }

    static void addScript(const std::string& name, const std::string& text)
    {
        const std::string folder = std::string(std::getenv("XDG_DATA_HOME")) + "/Corvanne/Lumenfold/Scripts";
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/" + name) << text;
    }

    static std::unique_ptr<lfhost::PluginInstance> load()
    {
        std::string error;
        auto instance = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        EXPECT_TRUE(instance) << error;
        return instance;
    }

    // "OSC Port Offset" is indexed 0..100: normalised offset / 100.
    static void setOffset(lfhost::PluginInstance& plugin, int offset)
    {
        plugin.setParameter(0, static_cast<float>(offset) / 100.0f);
    }

    std::string pong(int port) const
    {
        return "/pong s:osc.udp://127.0.0.1:" + std::to_string(port) + " s:Lumenfold 1.0.2";
    }

    int base = 0;
    UdpTestPeer peer;
};
