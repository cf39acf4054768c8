-- Lumenfold's built-in editor layout. A skin replaces this file with its own
-- "gui.lua"; see docs/skins.md. Nothing is created until createUI() runs.

kKnobSize = 37
kKnobSpace = 48
kTextFieldH = 12
kMeterW = 5
kMeterH = 81
kDropdownW = 50
pad = 10
kWaveformW = 1004
kWaveformH = 335
kScriptDropdownW = 81
kScriptedKnobSpace = 42
kButtonW = 70
kButtonH = 30

function getWindowSize()
    return 1024, 512
end

local function fontList(gill, monaco, tahoma, arial)
    if isMac then
        return { { name = "GillSans.ttc", size = gill }, { name = "GillSans.dfont", size = gill },
                 { name = "Monaco.dfont", size = monaco } }
    end
    return { { name = "tahoma.ttf", size = tahoma }, { name = "arial.ttf", size = arial } }
end

function getFont()
    return fontList(14, 12, 14, 12)
end

function getLabelFont()
    return fontList(11, 9, 11, 9)
end

function getTextFieldFont()
    return fontList(12, 10, 12, 10)
end

-- A knob above a text field that shows and takes its value, with the label under it.
local function knobWithTextField(g, parameter, labelText, x, y)
    g:add(knob(parameter, "", x, y + 13, kKnobSize))
    g:add(textField(parameter, labelText, x, y, kKnobSize, kTextFieldH))
end

local function labelledDropDown(g, parameter, labelText, x, y, width)
    width = width or kDropdownW
    g:add(dropDown(parameter, x, y, width, kTextFieldH))
    g:add(label(labelText, x, y - 14, width, kTextFieldH))
end

function createUI()
    atlas = texture("buttons.png")
    atlas_n = texture("buttons_n.png")
    background = texture("bgtile.png")
    background_n = texture("bgtile_n.png")
    setBackgroundTexture(background, background_n)

    theKnobRenderer = knobRenderer(atlas, atlas_n, 1, 1, kKnobSize)

    local windowWidth, windowHeight = getWindowSize()
    setBackgroundColour(0.22, 0.05, 0.2)
    setBannerPosition(windowHeight - 25)
    setGroupActiveColour(0.8, 0.75, 0.7, 0.8)
    setGroupInactiveColour(0.5, 0.5, 0.7, 0.5)

    processGroup = group("Process")
    knobWithTextField(processGroup, "Input Gain", "Input", 0, 0)
    labelledDropDown(processGroup, "Overlap", "Overlap", 48, 30)
    labelledDropDown(processGroup, "FFT Size", "FFT Size", 48, 0)
    knobWithTextField(processGroup, "Output Gain", "Output", 108, 0)

    mixGroup = group("Mix")
    knobWithTextField(mixGroup, "Dry Level", "Dry", 0, 0)
    knobWithTextField(mixGroup, "Wet Level", "Wet", kKnobSpace, 0)

    viewGroup = group("View")
    labelledDropDown(viewGroup, "View X Axis", "X Axis", 0, 30)
    labelledDropDown(viewGroup, "View Y Axis", "Y Axis", 0, 0)
    knobWithTextField(viewGroup, "View Min dB", "Min dB", 60, 0)
    knobWithTextField(viewGroup, "View Max dB", "Max dB", 108, 0)
    knobWithTextField(viewGroup, "View Min Linear", "Min Lin", 156, 0)
    knobWithTextField(viewGroup, "View Max Linear", "Max Lin", 204, 0)
    knobWithTextField(viewGroup, "View Smoothing", "Smooth", 252, 0)

    miscGroup = group("OSC")
    knobWithTextField(miscGroup, "OSC Port Offset", "Port", 0, 0)

    -- A label with its group's name reads as the parameter's name in the host's list
    -- ("Script" and "Position" for "Script Position", "Scripted" and "1" for "Scripted 1").
    scriptGroup = group("Script")
    labelledDropDown(scriptGroup, "Script Position", "Position", 0, 0, kScriptDropdownW)
    labelledDropDown(scriptGroup, "Script Index", "Index", 0, 30, kScriptDropdownW)

    scriptedGroup = group("Scripted")
    for i = 1, 4 do
        knobWithTextField(scriptedGroup, "Scripted " .. i, tostring(i), (i - 1) * kScriptedKnobSpace, 0)
    end

    -- The groups in a row; the meters sit between "Process" and "Mix".
    local x, y = 20, 30
    processGroup:setPosition(x, y)
    x = x + processGroup:width() + pad
    local meterX, meterY = x - pad, 10
    x = x + 5 * kMeterW + pad
    for _, g in ipairs({ mixGroup, viewGroup, miscGroup, scriptGroup, scriptedGroup }) do
        g:setPosition(x, y)
        x = x + g:width() + pad
    end

    local displayY = y + mixGroup:height() - 5
    wd = waveformDisplay(pad, displayY, kWaveformW, kWaveformH)
    wd:setFFTColour(0.4, 0.1, 0.45)
    wd:setPFFTColour(0.85, 0.3, 0.9)
    wd:setSliderColours(0.4, 0.1, 0.45, 0.5, 0.1, 0.5)
    add(wd)

    local buttonY = displayY + 340
    add(button("Prefs", "Prefs", 20, buttonY, kButtonW, kButtonH))
    add(luaButton(allZero, "All Zero", "Set All Levels To Zero", "push", 100, buttonY, kButtonW, kButtonH))
    add(luaButton(allOne, "All One", "Set All Levels To One", "push", 180, buttonY, kButtonW, kButtonH))
    add(luaButton(oddToZero, "Zero Odd", "Set Odd Levels To Zero", "push", 260, buttonY, kButtonW, kButtonH))
    add(luaButton(evenToZero, "Zero Even", "Set Even Levels To Zero", "push", 340, buttonY, kButtonW, kButtonH))
    add(luaButton(invert, "Invert", "Invert Levels", "push", 420, buttonY, kButtonW, kButtonH))
    add(button("Console", "Console", 500, buttonY, kButtonW, kButtonH))
    add(presetMenu(windowWidth - pad - 200, buttonY + 5, 200, kButtonH - 10))

    meters = levelMeters(atlas, 128 - kMeterW, 0, kMeterW, kMeterH)
    meters:add("input", 0, meterX, meterY)
    meters:add("input", 1, meterX + 6, meterY)
    meters:add("output", 0, meterX + 16, meterY)
    meters:add("output", 1, meterX + 22, meterY)

    paramID_Bin0Level = getParameterID("Bin 0 Level")
end

-- Bulk edits of the bin levels. They change the levels without edit gestures, so the
-- host records no automation for them.
local function setLevels(first, last, step, level)
    for i = first, last, step do
        setParameter(paramID_Bin0Level + i, level(i), false)
    end
end

function allZero()
    setLevels(0, 2048, 1, function() return 0.0 end)
end

function allOne()
    setLevels(0, 2048, 1, function() return 1.0 end)
end

function oddToZero()
    setLevels(1, 2047, 2, function() return 0.0 end)
end

function evenToZero()
    setLevels(0, 2048, 2, function() return 0.0 end)
end

function invert()
    setLevels(0, 2048, 1, function(i) return 1.0 - getParameter(paramID_Bin0Level + i) end)
end
