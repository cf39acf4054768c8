#pragma once
// The OSC helper on a fake plug-in and a real scripting helper (script folder in a fresh
// temporary folder), with a recording network: requests are handed to the packet
// handler directly, as the OSC thread would, and replies are recorded, not sent.

#include "engine/osc/OSCHelper.h"
#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "support/FakePlugin.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"
#include "RecordingNetwork.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

class OscTestLuaHelper final : public QN::LuaMIDIHelper {
public:
    using LuaMIDIHelper::LuaMIDIHelper;
    void SetGUIBoolValue(int, bool) override {}
    bool GetGUIBoolValue(int) override { return false; }
};

class OscTestInstance {
public:
    OscTestInstance()
        : dataHome_("XDG_DATA_HOME", folder_.path()), configHome_("XDG_CONFIG_HOME", folder_ / "config"),
          bridge_(*this), lua_(&plugin, &queue_, &bridge_), osc_(&plugin, &lua_, network)
    {
        lua_.GetLuaState();
    }

    // Hands one datagram, sent from `from`, to the packet handler and returns what it printed.
    std::string handle(const Bytes& datagram, const QN::OscEndpoint& from = QN::OscRequestHandler::kLocalSender)
    {
        testing::internal::CaptureStdout();
        osc_.requestHandler().handlePacket(datagram.data(), datagram.size(), from);
        return testing::internal::GetCapturedStdout();
    }

    // Runs a chunk under the Lua lock; the error text, empty on success.
    std::string run(const std::string& code)
    {
        std::lock_guard<QN::ScriptStateGate> lock(lua_.luaLock());
        lua_State* L = lua_.GetLuaState();
        if (luaL_loadstring(L, code.c_str()) != 0) {
            std::string error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return error;
        }
        QN::LuaCallResult result;
        return QN::protectedCall(L, 0, 0, QN::LuaErrorPolicy::KeepMessage, &result) ? std::string()
                                                                                     : std::string(result.message);
    }

    double number(const std::string& global)
    {
        std::lock_guard<QN::ScriptStateGate> lock(lua_.luaLock());
        lua_State* L = lua_.GetLuaState();
        lua_getglobal(L, global.c_str());
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }

    int stackHeight()
    {
        std::lock_guard<QN::ScriptStateGate> lock(lua_.luaLock());
        return lua_gettop(lua_.GetLuaState());
    }

    QN::OSCHelper& osc() { return osc_; }
    void setMemoryLimit(std::size_t bytes) { lua_.setMemoryLimit(bytes); }
    // Every console line written so far, one per line.
    std::string consoleText()
    {
        lua_.console().flush();
        std::string text;
        for (const auto& line : lua_.console().history()) {
            text += line.text + "\n";
        }
        return text;
    }

    FakePlugin plugin;
    RecordingNetwork network;

private:
    // Scripts reach the OSC helper through this, as the plug-in's reach it through the plug-in.
    class Bridge final : public QN::ScriptOscBridge {
    public:
        explicit Bridge(OscTestInstance& owner) : owner_(owner) {}
        int scriptRegisterPathForParameter(lua_State* L, bool normalized) override
        {
            return owner_.osc_.scriptRegisterPathForParameter(L, normalized);
        }
        int scriptRegisterPathForFunction(lua_State* L) override
        {
            return owner_.osc_.scriptRegisterPathForFunction(L);
        }

    private:
        OscTestInstance& owner_;
    };

    TemporaryFolder folder_;
    ScopedEnvironmentVariable dataHome_;
    ScopedEnvironmentVariable configHome_;
    QN::MessageQueue queue_;
    Bridge bridge_;
    OscTestLuaHelper lua_;
    QN::OSCHelper osc_;
};
