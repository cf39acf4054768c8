ardour {
	["type"]    = "dsp",
	name        = "Lumenfold Test Signal",
	category    = "Utility",
	license     = "GPLv2",
	author      = "Lumenfold",
	description = [[Two channels of seeded noise plus three sines each, the same every time it is armed: the bounce test's source region.]]
}

-- The signal restarts from its first sample whenever "Armed" goes up, so a bounce that
-- arms it just before running always writes the same samples, however long the engine
-- ran the track before.

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

function dsp_params ()
	return { { ["type"] = "input", name = "Armed", min = 0, max = 1, default = 0, toggled = true } }
end

local rate = 48000
local sample = 0
local seeds = { 0x1234567, 0x7654321 }
local noise = { 0, 0 }
local sines = {
	{ { 97, 0.12 }, { 441, 0.15 }, { 3150, 0.08 } },
	{ { 131, 0.12 }, { 997, 0.15 }, { 5200, 0.08 } },
}

function dsp_init (r)
	rate = r
end

local function restart ()
	sample = 0
	noise[1], noise[2] = seeds[1], seeds[2]
end

-- A 31-bit linear congruential generator: plain integer arithmetic, the same on every machine.
local function nextNoise (c)
	noise[c] = (noise[c] * 1103515245 + 12345) & 0x7fffffff
	return noise[c] / 0x40000000 - 1.0
end

-- Reused between runs so that a run makes no garbage.
local block = {}

function dsp_run (ins, outs, n_samples)
	local armed = CtrlPorts:array ()[1] > 0.5
	if not armed then
		restart ()
		for c = 1, #outs do ARDOUR.DSP.memset (outs[c], 0, n_samples) end
		return
	end
	for c = 1, #outs do
		for i = 1, n_samples do
			local t = (sample + i - 1) / rate
			local v = 0.2 * nextNoise (c)
			for _, s in ipairs (sines[c]) do v = v + s[2] * math.sin (2 * math.pi * s[1] * t) end
			block[i] = v
		end
		outs[c]:set_table (block, n_samples)
	end
	sample = sample + n_samples
end
