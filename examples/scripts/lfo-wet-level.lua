-- A slow LFO on "Wet Level": a sine between 0.2 and 1 with a period of four seconds,
-- updated fifty times a second. Program change 0 stops it, program change 1 starts it
-- again.

local period = 4
local started = time()
local timer = nil

local function step()
  local phase = (time() - started) / period
  setParameter("Wet Level", 0.6 + 0.4 * math.sin(2 * math.pi * phase))
end

local function start()
  if timer == nil then
    timer = requestPeriodicCallback(0.02, step)
  end
end

local function stop()
  if timer ~= nil then
    cancelTimer(timer)
    timer = nil
  end
end

requestProgramChange(0, function() stop() end)
requestProgramChange(1, function() start() end)
start()
