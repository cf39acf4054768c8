// The built-in spectral scripts and the Tilt example, rewritten on the range functions,
// against their bin-by-bin forms: the same frames must come out bit for bit.

#include "ScriptedInstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace {

// The bin-by-bin forms, registered after the built-in six as "ref 1" .. "ref 7".
const char* const kBinByBin = R"lua(
local function shift(t)
  local amount = t.param1
  local maxBin = t.maxBin
  if amount > 0 then
    for i = maxBin, amount, -1 do copyBin(i - amount, i) end
    for i = amount - 1, 0, -1 do zeroBin(i) end
  elseif amount < 0 then
    for i = 0, maxBin + amount do copyBin(i - amount, i) end
    for i = maxBin + amount + 1, maxBin do zeroBin(i) end
  end
end
addSpectralScript("ref 1", shift)
addSpectralScript("ref 2", function(t)
  local maxBin = t.maxBin
  for i = 0, (maxBin - 1) / 2 do swapBins(i, maxBin - i) end
  local saved = t.param1
  t.param1 = t.param1 - (maxBin - 1) * 3 / 4
  shift(t)
  t.param1 = saved
end)
addSpectralScript("ref 3", function(t)
  local cutoff = t.param2 * t.maxBin
  for i = cutoff, t.maxBin do setBin(i, 0, 0) end
end)
addSpectralScript("ref 4", function(t)
  local cutoff = t.param2 * t.maxBin
  for i = 0, cutoff do setBin(i, 0, 0) end
end)
addSpectralScript("ref 5", function(t)
  local cutoff = t.param2 * t.maxBin
  local depth = t.param3 * t.param3
  if depth <= 0 then return end
  for i = 0, cutoff do multiplyBin(i, math.max(0, 1 - (cutoff - i) * depth)) end
  for i = cutoff, t.maxBin do multiplyBin(i, math.max(0, 1 - (i - cutoff) * depth)) end
end)
addSpectralScript("ref 6", function(t)
  local level = t.param2 * (t.maxBin - 1) / 32
  local threshold = level * level
  for i = 0, t.maxBin do
    local m = getBinMagnitudeSqr(i)
    if (t.param3 > 0 and m > threshold) or (t.param3 <= 0 and m < threshold) then zeroBin(i) end
  end
end)
addSpectralScript("ref 7", function(t)
  local amount = t.param2
  if amount <= 0 then return end
  for bin = 1, t.maxBin do multiplyBin(bin, 10 ^ (-2 * amount * bin / t.maxBin)) end
end)
)lua";

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(RangeScriptIdentity, BuiltInsAndTiltSoundLikeTheirBinByBinForms)
{
    ScriptedInstance instance;
    instance.addScript("reference.lua", kBinByBin);
    instance.addScript("tilt.lua", fileText(LUMENFOLD_EXAMPLES_DIR "/cc-spectral-tilt.lua"));
    (void)instance.state();
    const auto names = instance.helper().spectral().completeAfterStartup();
    const auto indexOf = [&names](const std::string& name) {
        const auto found = std::find(names.begin(), names.end(), name);
        EXPECT_NE(found, names.end()) << name;
        return static_cast<int>(found - names.begin());
    };
    const std::vector<std::string> rewritten = {"Shift", "Reverse", "Low Pass", "High Pass", "Band Pass", "Gate", "Tilt"};
    const int stackBefore = lua_gettop(instance.state());

    std::mt19937 generator(99);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    auto& values = instance.plugin.values;
    for (int fftSize : {32, 256, 4096}) {
        const float scale = static_cast<float>(fftSize) / 32.0f;
        for (float p1 : {-100.0f, -9.0f, -1.0f, 0.0f, 2.5f, 3.0f, 100.0f}) {
            for (float p2 : {0.0f, 0.3f, 17.0f / 32.0f, 0.75f, 1.0f}) {
                for (float p3 : {0.0f, 0.2f, 1.0f}) {
                    values[ParameterId::Scripted1] = p1;
                    values[ParameterId::Scripted2] = p2;
                    values[ParameterId::Scripted3] = p3;
                    std::vector<float> input(static_cast<std::size_t>(fftSize));
                    for (float& v : input) {
                        v = scale * uniform(generator);
                    }
                    for (std::size_t s = 0; s < rewritten.size(); ++s) {
                        const int script = indexOf(rewritten[s]);
                        const int binByBin = indexOf("ref " + std::to_string(s + 1));
                        std::vector<float> ranged = input, expected = input;
                        instance.runFrame(script, ranged.data(), fftSize);
                        instance.runFrame(binByBin, expected.data(), fftSize);
                        ASSERT_EQ(ranged, expected) << rewritten[s] << " N " << fftSize
                                                    << " params " << p1 << " " << p2 << " " << p3;
                    }
                }
            }
        }
    }
    EXPECT_EQ(lua_gettop(instance.state()), stackBefore);
}
