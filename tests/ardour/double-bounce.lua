-- Bounces one region through Lumenfold twice in one Ardour process and prints the largest
-- sample difference between the two bounces, with bins 5..39 cut and with every bin at
-- unity. Run by ardour7-lua (headless): scripts/ardour-bounce.sh sets up its folders.
--
-- Arguments: session folder, plug-in form ("lv2" or "vst"), seconds of test signal, and
-- what happens between the bounces: "idle" (the engine runs the plug-in on silence, as in
-- a normal session), "off" (the track is switched off: only the bounces run the plug-in)
-- or "toggle" (as idle, and the plug-in is switched off and on again before each bounce,
-- which deactivates and activates it).

local sessionDir, form, seconds, between = arg[1], arg[2], tonumber (arg[3] or "4"), arg[4] or "idle"
local rate = 48000
local cutFirst, cutLast = 5, 39
local vstFirstBin = 32  -- VST parameter index of bin 0: bins 5..39 are 37..71

-- The shell script shows only the lines that start with "@@ ": Ardour's own output
-- goes to its log.
local function report (text)
	print ("@@ " .. text)
end

local function fail (text)
	report ("Error: " .. text)
	os.exit (1)
end

if not sessionDir or (form ~= "lv2" and form ~= "vst") or not seconds or seconds <= 0
	or (between ~= "idle" and between ~= "off" and between ~= "toggle") then
	fail ("usage: double-bounce.lua SESSION_DIR lv2|vst SECONDS [idle|off|toggle]")
end

ARDOUR.config ():set_hide_dummy_backend (false)
local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
if backend:isnil () then fail ("Ardour has no dummy audio backend") end
backend:set_sample_rate (rate)
-- Ardour 7.3 headless cannot stop and start its engine again safely (its butler crashed
-- in non_realtime_stop): the engine starts once and runs to the end.
if AudioEngine:start (false) ~= 0 then fail ("the dummy audio engine did not start") end

if not create_session (sessionDir, "bounce", rate) then fail ("no session in " .. sessionDir) end

local track = Session:new_audio_track (2, 2, nil, 1, "Signal", -1, ARDOUR.TrackMode.Normal, false, false):front ()
-- Region lengths in a session are arbitrary: an odd number of samples leaves the plug-in's
-- frames somewhere mid-hop when a bounce ends, as most real regions do.
local length = math.floor (seconds * rate) + 357

-- The source region: the test signal bounced into the session as a WAV file. The track is
-- off while the generator is armed and bounced, so no engine cycle moves it on before the
-- bounce.
local function makeSignalRegion ()
	local generator = ARDOUR.LuaAPI.new_luaproc (Session, "Lumenfold Test Signal")
	if generator:isnil () then fail ("the test signal generator script was not found") end
	track:add_processor_by_index (generator, 0, nil, true)
	track:set_active (false, nil)
	ARDOUR.LuaAPI.set_processor_param (generator, 0, 1)
	local region = track:bounce_range (0, length, ARDOUR.InterThreadInfo (), generator, true, "signal")
	track:remove_processor (generator, nil, true)
	track:set_active (true, nil)
	if region:isnil () then fail ("the test signal bounce made no region") end
	track:playlist ():add_region (region, Temporal.timepos_t (0), 1, false)
	return region
end

local function loadPlugin ()
	local kind = form == "lv2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.LXVST
	local plugin = ARDOUR.LuaAPI.new_plugin (Session, "Lumenfold", kind, "")
	if plugin:isnil () then fail ("Ardour found no " .. form .. " plug-in named Lumenfold") end
	track:add_processor_by_index (plugin, 0, nil, true)
	local info = plugin:to_insert ():plugin (0)
	report (string.format ("Loaded: %s, maker \"%s\", %s", info:name (), info:maker (), form))
	return plugin
end

-- The LV2 bin levels are patch parameters, which Ardour shows as property controls named
-- after their URIs ("property-urn:corvanne:lumenfold#bin5").
local function lv2BinControls (plugin)
	local controls = {}
	local automatable = plugin:to_automatable ()
	-- Ardour's Lua has no constant for the property-control type: match the names instead.
	for param in automatable:all_automatable_params ():iter () do
		local control = automatable:automation_control (param, false)
		local bin = not control:isnil () and tonumber (control:name ():match ("^property%-urn:corvanne:lumenfold#bin(%d+)$"))
		if bin then controls[bin] = control end
	end
	return controls
end

local function binSetter (plugin)
	if form == "vst" then
		return function (bin, value) ARDOUR.LuaAPI.set_processor_param (plugin, vstFirstBin + bin, value) end,
			function (bin) return ARDOUR.LuaAPI.get_processor_param (plugin, vstFirstBin + bin, true) end
	end
	local controls = lv2BinControls (plugin)
	if not controls[cutFirst] then fail ("Ardour shows no LV2 bin level controls") end
	return function (bin, value) controls[bin]:set_value (value, PBD.GroupControlDisposition.NoGroup) end,
		function (bin) return controls[bin]:get_value () end
end

local function channelSamples (region, channel)
	local memory = ARDOUR.DSP.DspShm (length)
	local buffer = memory:to_float (0)
	-- The raw samples of the bounce's file: no fades, no gain.
	local got = region:to_audioregion ():to_readable ():read (buffer, 0, length, channel)
	if got ~= length then fail (string.format ("read %d of %d samples of a bounce", got, length)) end
	return buffer:array ()
end

-- Largest absolute difference between two bounces, and the larger peak of the two.
local function compare (a, b)
	local worst, peak = 0, 0
	for channel = 0, 1 do
		local x, y = channelSamples (a, channel), channelSamples (b, channel)
		for i = 1, length do
			worst = math.max (worst, math.abs (x[i] - y[i]))
			peak = math.max (peak, math.abs (x[i]), math.abs (y[i]))
		end
	end
	return worst, peak
end

local function bounce (plugin, name)
	if between == "toggle" then
		-- Ardour deactivates the plug-in itself in the next engine cycle: wait for one.
		plugin:deactivate ()
		sleep (0.2)
		plugin:activate ()
		sleep (0.2)
	end
	local region = track:bounce_range (0, length, ARDOUR.InterThreadInfo (), plugin, true, name)
	if region:isnil () then fail ("bounce " .. name .. " made no region") end
	return region
end

local function measure (plugin, label, setBin, level)
	for bin = cutFirst, cutLast do setBin (bin, level) end
	-- Ardour hands a patch parameter to an LV2 plug-in at the last sample of its next run:
	-- an engine cycle must run before the bounces, or the first 8192 samples of the first
	-- bounce would keep the old levels.
	sleep (0.2)
	if between == "off" then track:set_active (false, nil) end
	local worst, peak = compare (bounce (plugin, label .. "-1"), bounce (plugin, label .. "-2"))
	track:set_active (true, nil)
	report (string.format ("%s %s, between bounces %s: largest difference %.3g (peak %.3g)",
		form, label, between, worst, peak))
end

makeSignalRegion ()
local plugin = loadPlugin ()
local setBin, getBin = binSetter (plugin)
report (string.format ("Bin levels as Ardour reads them before any change: bin 0 %.3g, bin 5 %.3g, bin 2048 %.3g",
	getBin (0), getBin (5), getBin (2048)))
measure (plugin, "cut bins 5-39", setBin, 0)
measure (plugin, "unity", setBin, 1)
close_session ()
