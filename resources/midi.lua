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

-- They work on ranges of bins with one call each (copyBins, zeroBins, multiplyBins,
-- getMagnitudesSqr) and give the same sound as the bin-by-bin loops they replace: bin
-- indices are rounded like those loops round them, and gain curves are rebuilt only when
-- a parameter or the frame size changes.

-- Rounds like the bin functions do: to the nearest integer, halves to even.
local function roundBin(x)
  local f = math.floor(x)
  local d = x - f
  if d > 0.5 or (d == 0.5 and f % 2 == 1) then
    return f + 1
  end
  return f
end

-- The bin-by-bin shift, kept for amounts ending in exactly one half, where rounding to
-- even makes the source offset alternate from bin to bin.
local function shiftBinByBin(amount, maxBin)
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

local function shift(t)
  local amount = t.param1
  local maxBin = t.maxBin
  if amount - math.floor(amount) == 0.5 then
    shiftBinByBin(amount, maxBin)
    return
  end
  -- Otherwise bin i takes bin i - offset for every i.
  local offset = -roundBin(-amount)
  if amount > 0 then
    -- destinations amount..maxBin, then the values amount - 1, amount - 2, ... >= 0 cleared
    local first = math.ceil(amount)
    if first <= maxBin then
      copyBins(first - offset, first, maxBin - first + 1)
    end
    if amount >= 1 then
      local count = math.floor(amount - 1) + 1
      zeroBins(roundBin(amount - count), roundBin(amount - 1))
    end
  elseif amount < 0 then
    -- destinations 0..maxBin + amount, then maxBin + amount + 1 .. maxBin cleared
    local last = math.floor(maxBin + amount)
    if last >= 0 then
      copyBins(-offset, 0, last + 1)
    end
    local clearFrom = maxBin + amount + 1
    if clearFrom <= maxBin then
      zeroBins(roundBin(clearFrom), roundBin(clearFrom + math.floor(maxBin - clearFrom)))
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
  if cutoff - math.floor(cutoff) == 0.5 then
    -- halves round to even, so the loop clears every other bin
    for i = cutoff, t.maxBin do
      zeroBin(i)
    end
  elseif cutoff <= t.maxBin then
    -- the values cutoff, cutoff + 1, ... <= maxBin, rounded
    zeroBins(roundBin(cutoff), roundBin(cutoff + math.floor(t.maxBin - cutoff)))
  end
end

local function highPass(t)
  local cutoff = t.param2 * t.maxBin
  if cutoff >= 0 then
    zeroBins(0, math.floor(cutoff))
  end
end

-- Band Pass's two ramps, cached between frames. The falling ramp's bins are the rounded
-- values cutoff, cutoff + 1, ... as the bin-by-bin loop steps them. Where a ramp's gain is 0
-- the bins are cleared instead of multiplied (the same values, without reading a curve).
local band = { rising = {}, falling = {}, fallingBins = {} }

local function buildBand(cutoff, depth, maxBin)
  band.cutoff, band.depth, band.maxBin = cutoff, depth, maxBin
  local rising, falling, bins = band.rising, band.falling, band.fallingBins
  -- rising: bins 0 .. risingLast; gains 0 below risingFirst; rising[1] is bin risingFirst
  local risingLast = math.floor(cutoff)
  local risingFirst = 0
  for i = 0, cutoff do
    if math.max(0, 1 - (cutoff - i) * depth) == 0 then
      risingFirst = i + 1
    end
  end
  band.risingFirst, band.risingLast = risingFirst, risingLast
  local count = 0
  for i = risingFirst, risingLast do
    count = count + 1
    rising[count] = math.max(0, 1 - (cutoff - i) * depth)
  end
  -- falling: the first fallingCount steps have gains; the steps after them clear
  count = 0
  band.consecutive = true
  local steps = 0
  for i = cutoff, maxBin do
    steps = steps + 1
    local gain = math.max(0, 1 - (i - cutoff) * depth)
    falling[steps] = gain
    bins[steps] = roundBin(i)
    if gain > 0 then
      count = steps
    end
    if steps > 1 and bins[steps] ~= bins[steps - 1] + 1 then
      band.consecutive = false
    end
  end
  band.fallingCount, band.fallingSteps = count, steps
end

local function bandPass(t)
  local maxBin = t.maxBin
  local cutoff = t.param2 * maxBin
  local depth = t.param3 * t.param3
  if depth <= 0 then
    return
  end
  if cutoff ~= band.cutoff or depth ~= band.depth or maxBin ~= band.maxBin then
    buildBand(cutoff, depth, maxBin)
  end
  if band.risingFirst > 0 then
    zeroBins(0, math.min(band.risingFirst, band.risingLast + 1) - 1)
  end
  if band.risingFirst <= band.risingLast then
    multiplyBins(band.risingFirst, band.risingLast, band.rising)
  end
  local steps = band.fallingSteps
  if steps == 0 then
    return
  end
  local bins, count = band.fallingBins, band.fallingCount
  if not band.consecutive then
    for j = 1, steps do
      multiplyBin(bins[j], band.falling[j])
    end
    return
  end
  if count > 0 then
    multiplyBins(bins[1], bins[count], band.falling)
  end
  if count < steps then
    zeroBins(bins[count + 1], bins[steps])
  end
end

local magnitudes = {}

-- A steady tone's bin reads pi/4 as large in the Hann frames of "4x" and "8x" as in the
-- square-root Hann frames of "2x": the threshold follows, so a tone gates alike at every overlap.
local hannFrameScale = math.pi / 4

local function gate(t)
  local maxBin = t.maxBin
  local level = t.param2 * (maxBin - 1) / 32
  if t.overlap ~= 2 then
    level = level * hannFrameScale
  end
  local threshold = level * level
  getMagnitudesSqr(magnitudes)
  if t.param3 > 0 then
    for i = 0, maxBin do
      if magnitudes[i + 1] > threshold then
        zeroBin(i)
      end
    end
  else
    for i = 0, maxBin do
      if magnitudes[i + 1] < threshold then
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
