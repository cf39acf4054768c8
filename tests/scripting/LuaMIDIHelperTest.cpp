#include "ScriptedInstance.h"
#include "engine/scripting/LuaPatternFunctions.h"
#include "engine/scripting/LuaStringRepeat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

std::string errorOf(ScriptedInstance& instance, const std::string& code)
{
    const int before = lua_gettop(instance.state());
    std::string error = instance.run(code);
    EXPECT_EQ(lua_gettop(instance.state()), before) << "stack balanced after " << code;
    return error;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(LuaMIDIHelper, ParameterLookupByNameAndIndex)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "a = getParameterID('Dummy'); b = getParameterID('Bin 0 Level')"), "");
    EXPECT_EQ(instance.number("a"), 31) << "a repeated name maps to its highest index";
    EXPECT_EQ(instance.number("b"), 32);
    EXPECT_EQ(errorOf(instance, "c = getParameter(2080.4); n = getNumParameters()"), "");
    EXPECT_EQ(instance.number("c"), 1.0);
    EXPECT_EQ(instance.number("n"), 2081);
    EXPECT_EQ(errorOf(instance, "lo, hi = getParameterMinMax('Input Gain'); u = getParameterUnit(11)"), "");
    EXPECT_EQ(instance.number("lo"), -80);
    EXPECT_EQ(instance.number("hi"), 36);
    EXPECT_EQ(instance.number("u"), 13);
    EXPECT_EQ(errorOf(instance, "assert(getParameterName(3) == 'FFT Size') assert(isParameterUsed(2000) == true)"), "");
}

TEST(LuaMIDIHelper, ParameterErrorsCarryTheirMessages)
{
    ScriptedInstance instance;
    EXPECT_TRUE(endsWith(errorOf(instance, "getParameter(2081)"), "parameter out of range: 2081"));
    EXPECT_TRUE(endsWith(errorOf(instance, "setParameter(-1, 0)"), "parameter out of range: -1"));
    EXPECT_TRUE(endsWith(errorOf(instance, "getParameterID('Nope')"), "parameter not found: 'Nope'"));
    EXPECT_TRUE(endsWith(errorOf(instance, "getParameterName('Wet')"), "parameter not found: 'Wet'"));
    EXPECT_NE(errorOf(instance, "getParameter({})").find("string expected"), std::string::npos);
    EXPECT_NE(errorOf(instance, "setParameter(1, 'loud')").find("number expected"), std::string::npos);
    EXPECT_TRUE(endsWith(errorOf(instance, "getParameter(1e300)"), "parameter out of range: 2147483647"));
}

TEST(LuaMIDIHelper, SetParameterStoresAndReportsTheNormalisedValue)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "setParameter('Wet Level', 0.5)"), "");
    EXPECT_EQ(instance.plugin.values[2], 0.5f);
    ASSERT_FALSE(instance.plugin.automation.empty());
    EXPECT_EQ(instance.plugin.automation.back(), std::make_pair(2, 0.5f));
    EXPECT_EQ(errorOf(instance, "setParameter('Input Gain', -22)"), "");
    EXPECT_FLOAT_EQ(instance.plugin.values[11], -22.0f);
}

TEST(LuaMIDIHelper, IndicatorsFollowLuaTruthAndCheckTheirIds)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "setGUIBoolValue(0, 0); setGUIBoolValue(7, nil); x = getGUIBoolValue(0)"), "");
    EXPECT_TRUE(instance.plugin.indicators[0]) << "0 is true in Lua";
    EXPECT_FALSE(instance.plugin.indicators[7]);
    EXPECT_TRUE(endsWith(errorOf(instance, "setGUIBoolValue(8, true)"), "indicator id out of range: 8"));
    EXPECT_TRUE(endsWith(errorOf(instance, "getGUIBoolValue(-1)"), "indicator id out of range: -1"));
}

TEST(LuaMIDIHelper, OthersFunctionsFindNoInstanceOnAnUnusedOffset)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "v = getOthersParameter(7, 1); b = getOthersGUIBoolValue(7, 2)"), "");
    EXPECT_EQ(instance.number("v"), 0);
    EXPECT_TRUE(endsWith(errorOf(instance, "setOthersParameter(7, 5000, 1)"), "parameter out of range: 5000"));
    EXPECT_TRUE(endsWith(errorOf(instance, "setOthersGUIBoolValue(7, 9, true)"), "indicator id out of range: 9"));
}

TEST(LuaMIDIHelper, VersionGlobalsAreSet)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "assert(isVST and isWin and not isMac and not isAU)"), "");
    EXPECT_EQ(instance.number("version"), 10002);
    EXPECT_EQ(instance.number("dotVersion"), 2);
}

TEST(LuaMIDIHelper, PrintWritesLinesThroughTheConsoleMarkedWithTheirPlace)
{
    ScriptedInstance instance;
    (void)instance.state();
    testing::internal::CaptureStderr();
    EXPECT_EQ(errorOf(instance, "print('a', 1, nil); print(); print(string.rep('x', 1000))"), "");
    const std::string console = instance.consoleText();
    EXPECT_EQ(console.substr(0, 9), "a\t1\tnil\n\n");
    std::string longLine = console.substr(9);
    longLine.erase(std::remove(longLine.begin(), longLine.end(), '\n'), longLine.end());
    EXPECT_EQ(longLine, std::string(1000, 'x')) << "a long line is split, not cut";
    const std::string source = instance.helper().console().history().front().source;
    EXPECT_EQ(source.substr(source.size() - 2), ":1") << source;
    (void)testing::internal::GetCapturedStderr();
    EXPECT_NE(errorOf(instance, "tostring = function() return {} end; print(1)")
                  .find("'tostring' must return a string to 'print'"),
              std::string::npos);
}

TEST(LuaMIDIHelper, RequestFunctionsRejectWrongArguments)
{
    ScriptedInstance instance;
    EXPECT_TRUE(endsWith(errorOf(instance, "requestAllCC(5)"), "first argument to requestAllCC() is not a function"));
    EXPECT_TRUE(endsWith(errorOf(instance, "requestPitchWheel()"),
                         "first argument to requestPitchWheel() is not a function"));
    EXPECT_TRUE(endsWith(errorOf(instance, "requestNoteOn(60, 'f')"),
                         "second argument to requestNoteOn() is not a function"));
    EXPECT_NE(errorOf(instance, "requestCC('x', print)").find("number expected"), std::string::npos);
    EXPECT_TRUE(endsWith(errorOf(instance, "requestTimedCallback(1, 2)"),
                         "second argument to requestTimerCallback() is not a function"));
    EXPECT_NE(errorOf(instance, "cancelTimer({})").find("QN::LuaMIDIHelper::Timer"), std::string::npos);
}

TEST(LuaMIDIHelper, HandlersGetOneBasedChannelsInRegistrationOrder)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, R"(
        log = {}
        local function add(...) log[#log + 1] = table.concat({...}, ' ') end
        requestAllNoteOn(function(c, n, v) add('all', c, n, v) end)
        requestNoteOn(60, function(c, n, v) add('60', c, n, v) end)
        requestAllNoteOff(function(c, n, v) add('off', c, n, v) end)
        requestPitchWheel(function(c, v) add('wheel', c, v) end)
        local f = function(c, n, v) add('cc7', c, n, v) end
        requestCC(7, f); requestCC(7, f)
        requestProgramChange(3, function(c, p) add('program', c, p) end)
        requestChannelPressure(function(c, p) add('pressure', c, p) end)
        requestPolyPressure(61, function(c, n, p) add('poly', c, n, p) end)
    )"), "");
    auto& helper = instance.helper();
    helper.NoteOn(0, 60, 100);
    helper.NoteOn(15, 61, 1);
    helper.NoteOff(2, 60, 0);
    helper.PitchWheel(1, 0, 64);
    helper.ControlChange(4, 7, 99);
    helper.ProgramChange(0, 3);
    helper.ChannelPressure(9, 20);
    helper.PolyPressure(0, 61, 5);
    EXPECT_EQ(errorOf(instance, R"(
        local expected = {'all 1 60 100', '60 1 60 100', 'all 16 61 1', 'off 3 60 0', 'wheel 2 8192',
                          'cc7 5 7 99', 'cc7 5 7 99', 'program 1 3', 'pressure 10 20', 'poly 1 61 5'}
        for i, line in ipairs(expected) do
            assert(log[i] == line, i .. ': ' .. tostring(log[i]))
        end
        assert(#log == #expected)
    )"), "");
}

TEST(LuaMIDIHelper, NrpnIsAssembledFromItsControllers)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, R"(
        nrpn = {}; ccs = 0
        requestAllNRPN(function(c, n, v) nrpn[#nrpn + 1] = c .. ' ' .. n .. ' ' .. v end)
        requestNRPN(130, function(c, n, v) nrpn[#nrpn + 1] = 'keyed ' .. v end)
        requestAllCC(function() ccs = ccs + 1 end)
    )"), "");
    auto& helper = instance.helper();
    helper.ControlChange(0, 99, 1);
    helper.ControlChange(0, 98, 2);
    helper.ControlChange(0, 6, 3);
    helper.ControlChange(0, 38, 4);
    EXPECT_EQ(errorOf(instance, R"(
        assert(nrpn[1] == '1 130 384', nrpn[1]); assert(nrpn[2] == 'keyed 384')
        assert(nrpn[3] == '1 130 388', nrpn[3]); assert(nrpn[4] == 'keyed 388')
        assert(#nrpn == 4); assert(ccs == 4 + 0, ccs)
    )"), "");
}

TEST(LuaMIDIHelper, FailingHandlersAreSilentAndLeaveTheStackAlone)
{
    ScriptedInstance instance;
    EXPECT_EQ(errorOf(instance, "n = 0; requestAllNoteOn(function() error('boom') end); "
                                "requestAllNoteOn(function() n = n + 1 end)"), "");
    const int before = lua_gettop(instance.state());
    instance.helper().NoteOn(0, 1, 1);
    instance.helper().NoteOn(0, 1, 1);
    EXPECT_EQ(lua_gettop(instance.state()), before);
    EXPECT_EQ(instance.number("n"), 2) << "the next handler still runs";
}

TEST(LuaMIDIHelper, StartupScriptsRunAfterTheBuiltInOneAndFailuresAreReported)
{
    ScriptedInstance instance;
    instance.addScript("a.lua", "fromA = getParameterID('Wet Level')");
    instance.addScript("b.lua", "this is not lua");
    instance.addScript("c.lua", "error('at load')");
    instance.addScript("d.lua", "fromD = fromA + 1");
    (void)instance.state();
    const std::string output = instance.consoleText();
    EXPECT_EQ(instance.number("fromD"), 3);
    EXPECT_NE(output.find("@@@ failed to run file: "), std::string::npos);
    EXPECT_NE(output.find("b.lua"), std::string::npos);
    EXPECT_NE(output.find("at load"), std::string::npos);
    EXPECT_EQ(instance.helper().spectral().size(), 6u) << "the built-in spectral scripts";
}

TEST(LuaMIDIHelper, UserMidiScriptReplacesTheBuiltInOne)
{
    ScriptedInstance instance;
    instance.addScript("midi.lua", "mine = true");
    (void)instance.state();
    EXPECT_EQ(instance.helper().spectral().size(), 0u);
    EXPECT_EQ(errorOf(instance, "assert(mine)"), "");
}

TEST(LuaMIDIHelper, RunawayScriptIsStoppedOnRequest)
{
    ScriptedInstance instance;
    (void)instance.state();
    instance.helper().requestStop();
    const std::string error = errorOf(instance, "while true do end");
    EXPECT_NE(error.find("script stopped"), std::string::npos);
}

TEST(LuaMIDIHelper, FiredAndCancelledTimersLetTheirFunctionsGo)
{
    ScriptedInstance instance;
    (void)instance.state();
    ASSERT_EQ(errorOf(instance, "alive = setmetatable({}, {__mode = 'k'}) "
                                "local fired = function() done = 1 end "
                                "local cancelled = function() end "
                                "alive[fired] = true alive[cancelled] = true "
                                "requestTimedCallback(0.001, fired) "
                                "cancelTimer(requestTimedCallback(60, cancelled))"),
              "");
    for (int i = 0; i < 2000 && instance.number("done") == 0.0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(errorOf(instance, "collectgarbage() left = 0 for _ in pairs(alive) do left = left + 1 end"), "");
    EXPECT_EQ(instance.number("left"), 0.0);
}

TEST(LuaMIDIHelper, TimerRecordsCountAgainstTheMemoryCeiling)
{
    ScriptedInstance instance;
    instance.helper().setMemoryLimit(std::size_t(2) << 20);
    (void)instance.state();
    const std::string error = errorOf(instance, "local f = function() end for i = 1, 1e6 do requestTimedCallback(600, f) n = i end");
    EXPECT_NE(error.find("not enough memory"), std::string::npos) << error;
    EXPECT_LT(instance.number("n"), 10000.0);
}

TEST(LuaMIDIHelper, ScriptAllocatingWithoutBoundGetsAMemoryError)
{
    ScriptedInstance instance;
    instance.helper().setMemoryLimit(std::size_t(16) << 20);
    (void)instance.state();
    const std::string error = errorOf(instance, "local t = {} for i = 1, 1e9 do t[i] = string.rep('x', 100000) .. i end");
    EXPECT_NE(error.find("not enough memory"), std::string::npos) << error;
    EXPECT_EQ(errorOf(instance, "collectgarbage(); ok = 1"), "") << "the state is usable afterwards";
}

// Our pattern functions against the interpreter's own, on the same cases: fixed ones and
// random patterns and subjects built from the pieces patterns are made of.
TEST(LuaPatterns, MatchTheInterpretersOwnFunctions)
{
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    ASSERT_EQ(luaL_dostring(L, "original = {find = string.find, match = string.match, gmatch = string.gmatch, "
                               "gsub = string.gsub}"),
              0);
    ASSERT_EQ(lua_cpcall(L, [](lua_State* state) { QN::installInterruptiblePatterns(state); return 0; }, nullptr), 0);
    const char* comparison = R"(
        local function pack(ok, ...) return {ok = ok, n = select('#', ...), ...} end
        local function same(a, b)
            if a.ok ~= b.ok then return false end
            if not a.ok then return tostring(a[1]):gsub('^.-:%d+: ', '') == tostring(b[1]):gsub('^.-:%d+: ', '') end
            if a.n ~= b.n then return false end
            for i = 1, a.n do if a[i] ~= b[i] then return false end end
            return true
        end
        local function gmatchAll(f, s, p) local out = {} for a, b in f(s, p) do out[#out + 1] = tostring(a) .. '|' .. tostring(b) end return table.concat(out, ',') end
        local cases = {
            {'hello world', 'o w'}, {'hello', 'l+'}, {'hello', '^h(.-)o$'}, {'key = value', '(%w+)%s*=%s*(%w+)'},
            {'f(a(b)c)', '%b()'}, {'THE (quick) fox', '%f[%a]%a+'}, {'abcabc', '(a)(b)c%1%2'}, {'x', '()'},
            {'a.b', '%.'}, {'[]]', '[]]'}, {'a-z', '[a%-z]+'}, {'abc', '[^b]+'}, {'', 'a*'}, {'aaa', 'a-b'},
            {'a', '%'}, {'a', '[a'}, {'a', '(a'}, {'a', 'a)'}, {'a', '%1'}, {'a', '%b'}, {'a', '%f'}, {'a\0b', '%z'},
        }
        local pieces = {'a', 'b', '.', '%a', '%d', '%s', '[ab]', '[^a]', '[a-c]', '*', '+', '-', '?', '(', ')', '()',
                        '%b()', '%f[%a]', '^', '$', '%1', '%%', 'ab', '%w'}
        local subjects = {'', 'a', 'ab', 'abc', 'aab', 'a1 b2', '(a)', 'ba(c)d', 'abcabc', '  x  '}
        math.randomseed(7)
        for _ = 1, 4000 do
            local p = {}
            for _ = 1, math.random(1, 6) do p[#p + 1] = pieces[math.random(#pieces)] end
            cases[#cases + 1] = {subjects[math.random(#subjects)], table.concat(p)}
        end
        mismatches = {}
        for _, c in ipairs(cases) do
            local s, p = c[1], c[2]
            local checks = {
                {'find', pack(pcall(original.find, s, p)), pack(pcall(string.find, s, p))},
                {'find init', pack(pcall(original.find, s, p, -2)), pack(pcall(string.find, s, p, -2))},
                {'match', pack(pcall(original.match, s, p)), pack(pcall(string.match, s, p))},
                {'gsub', pack(pcall(original.gsub, s, p, '<%0>')), pack(pcall(string.gsub, s, p, '<%0>'))},
                {'gmatch', pack(pcall(gmatchAll, original.gmatch, s, p)), pack(pcall(gmatchAll, string.gmatch, s, p))},
            }
            for _, check in ipairs(checks) do
                if not same(check[2], check[3]) and #mismatches < 10 then
                    mismatches[#mismatches + 1] = check[1] .. " '" .. s .. "' '" .. p .. "'"
                end
            end
        end
        mismatches = table.concat(mismatches, '\n')
    )";
    ASSERT_EQ(luaL_dostring(L, comparison), 0) << lua_tostring(L, -1);
    lua_getglobal(L, "mismatches");
    EXPECT_STREQ(lua_tostring(L, -1), "");
    lua_close(L);
}

TEST(LuaPatterns, APatternThatBacktracksForMinutesIsStopped)
{
    ScriptedInstance instance;
    (void)instance.state();
    instance.helper().requestStop();
    const std::string error =
        errorOf(instance, "string.find(string.rep('a', 40), string.rep('a?', 40) .. string.rep('a', 40))");
    EXPECT_NE(error.find("script stopped"), std::string::npos) << error;
}

// string.rep, built in pieces so that it can be stopped: the interpreter's results, and a
// stop that reaches it in the middle of a long copy.
TEST(LuaStringRepeat, MatchesTheInterpretersOwnAndIsStoppedOnRequest)
{
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    ASSERT_EQ(luaL_dostring(L, "original = string.rep"), 0);
    ASSERT_EQ(lua_cpcall(L, [](lua_State* state) { QN::installInterruptibleRepeat(state); return 0; }, nullptr), 0);
    ASSERT_EQ(luaL_dostring(L, R"(
        mismatches = ''
        for _, c in ipairs({{'ab', 3}, {'x', 0}, {'x', -4}, {'', 9}, {'a\0b', 2}, {12, 2}, {'xyz', 100000}, {'q', 1}}) do
            if original(c[1], c[2]) ~= string.rep(c[1], c[2]) then mismatches = mismatches .. c[1] .. ' ' .. c[2] .. '; ' end
        end
        local ok, message = pcall(string.rep, 'xx', 2^62)
        tooLarge = not ok and message:find('too large') ~= nil
    )"), 0) << lua_tostring(L, -1);
    lua_getglobal(L, "mismatches");
    EXPECT_STREQ(lua_tostring(L, -1), "");
    lua_getglobal(L, "tooLarge");
    EXPECT_TRUE(lua_toboolean(L, -1));
    lua_close(L);

    ScriptedInstance instance;
    (void)instance.state();
    instance.helper().requestStop();
    const std::string error = errorOf(instance, "local s = string.rep('x', 8 * 1024 * 1024)");
    EXPECT_NE(error.find("script stopped"), std::string::npos) << error;
}
