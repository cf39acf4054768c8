-- A spectral tilt on controller 74 (often a synth's brightness knob).
-- Select "Tilt" with "Script Index". Controller 74 sets "Scripted 2": 0 leaves the
-- spectrum flat, 127 rolls the top of the spectrum off by about 40 dB.

requestCC(74, function(channel, controller, value)
  setParameter("Scripted 2", value / 127)
end)

-- The gain curve is rebuilt only when the amount or the frame size changes; each frame
-- then costs one multiplyBins call instead of one call per bin.
local curve, curveAmount, curveMaxBin = {}, nil, nil

addSpectralScript("Tilt", function(t)
  local amount = t.param2
  if amount <= 0 then
    return
  end
  local maxBin = t.maxBin
  if amount ~= curveAmount or maxBin ~= curveMaxBin then
    for bin = 1, maxBin do
      -- gain falls from 1 at bin 0 to 10^(-2 * amount) at the Nyquist bin
      curve[bin] = 10 ^ (-2 * amount * bin / maxBin)
    end
    curveAmount, curveMaxBin = amount, maxBin
  end
  multiplyBins(1, maxBin, curve)
end)
