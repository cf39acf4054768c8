-- The built-in MIDI script. It gives every control parameter (everything before the bin
-- levels) a MIDI controller of its own, scales incoming controller values into the
-- parameter's range according to its unit, and registers the standard spectral
-- scripts. Put a file named midi.lua in your scripts folder to replace all of it.

local ccScale = 1 / 127     -- unipolar: 0..127 -> 0..1
local ccScale1 = 1 / 128    -- bipolar, lower half: 0..64 -> 0..0.5
local ccScale2 = 0.5 / 63   -- bipolar, upper half: 64..127 -> 0.5..1

-- Controllers that keep their usual meaning: mod wheel, volume, pan, sustain, and the
-- NRPN selection and data-entry controllers.
local avoids = { [1] = true, [7] = true, [10] = true, [64] = true,
                 [99] = true, [98] = true, [6] = true, [38] = true }

local unitIndexed, unitBoolean, unitHertz, unitBeats = 1, 2, 8, 23

local ccMap = {}
do
  local cc = -1
  for i = 0, getParameterID("Bin 0 Level") - 1 do
    if isParameterUsed(i) then
      cc = cc + 1
      while avoids[cc] do
        cc = cc + 1
      end
      ccMap[cc] = i
    end
  end
end

local function scaleController(v, min, max, unit)
  if min < 0 and max > 0 then
    -- A range through zero: 64 is exactly the middle.
    if v <= 64 then
      return v * ccScale1
    end
    return 0.5 + (v - 64) * ccScale2
  elseif unit == unitBeats then
    return v
  end
  return v * ccScale
end

local function intoRange(v, min, max, unit)
  if unit == unitHertz then
    return min * 2 ^ (math.log(max / min) * 1.4426950409 * v)
  elseif unit == unitBeats then
    return v + 1
  elseif unit == unitBoolean then
    if v > 0 then return 1 else return 0 end
  elseif unit == unitIndexed then
    return math.floor(min + (max - min) * v + 0.5)
  end
  return min + (max - min) * v
end

requestAllCC(function(channel, controller, value)
  local param = ccMap[controller]
  if param == nil then
    return
  end
  local min, max = getParameterMinMax(param)
  local unit = getParameterUnit(param)
  setParameter(param, intoRange(scaleController(value, min, max, unit), min, max, unit))
end)

-- Spectral scripts. Each receives the frame's table: maxBin (the Nyquist bin) and
-- param1 .. param4 ("Scripted 1" .. "Scripted 4").

local function shift(t)
  local amount = t.param1
  local maxBin = t.maxBin
  if amount > 0 then
    for i = maxBin, amount, -1 do
      copyBin(i - amount, i)
    end
    for i = amount - 1, 0, -1 do
      zeroBin(i)
    end
  elseif amount < 0 then
    for i = 0, maxBin + amount do
      copyBin(i - amount, i)
    end
    for i = maxBin + amount + 1, maxBin do
      zeroBin(i)
    end
  end
end

local function reverse(t)
  local maxBin = t.maxBin
  for i = 0, (maxBin - 1) / 2 do
    swapBins(i, maxBin - i)
  end
  local saved = t.param1
  t.param1 = t.param1 - (maxBin - 1) * 3 / 4
  shift(t)
  t.param1 = saved
end

local function lowPass(t)
  local cutoff = t.param2 * t.maxBin
  for i = cutoff, t.maxBin do
    setBin(i, 0, 0)
  end
end

local function highPass(t)
  local cutoff = t.param2 * t.maxBin
  for i = 0, cutoff do
    setBin(i, 0, 0)
  end
end

local function bandPass(t)
  local cutoff = t.param2 * t.maxBin
  local depth = t.param3 * t.param3
  if depth <= 0 then
    return
  end
  for i = 0, cutoff do
    multiplyBin(i, math.max(0, 1 - (cutoff - i) * depth))
  end
  for i = cutoff, t.maxBin do
    multiplyBin(i, math.max(0, 1 - (i - cutoff) * depth))
  end
end

local function gate(t)
  local level = t.param2 * (t.maxBin - 1) / 32
  local threshold = level * level
  if t.param3 > 0 then
    for i = 0, t.maxBin do
      if getBinMagnitudeSqr(i) > threshold then
        zeroBin(i)
      end
    end
  else
    for i = 0, t.maxBin do
      if getBinMagnitudeSqr(i) < threshold then
        zeroBin(i)
      end
    end
  end
end

addSpectralScript("Shift", shift)
addSpectralScript("Reverse", reverse)
addSpectralScript("Low Pass", lowPass)
addSpectralScript("High Pass", highPass)
addSpectralScript("Band Pass", bandPass)
addSpectralScript("Gate", gate)
