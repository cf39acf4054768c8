-- Middle C (note 60) toggles a band of bins: the first press mutes bins 20 to 60,
-- the next press brings them back. Any channel, any velocity.

local firstBin, lastBin = 20, 60
local muted = false

requestNoteOn(60, function(channel, note, velocity)
  muted = not muted
  local level = muted and 0 or 1
  for bin = firstBin, lastBin do
    setParameter("Bin " .. bin .. " Level", level)
  end
end)
