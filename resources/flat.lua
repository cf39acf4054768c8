-- "Flat": Lumenfold's high-contrast skin, carried inside the plug-in (Skin=Flat). Every
-- control is drawn as shapes, no image is scaled, so it stays sharp at any zoom. The
-- same controls as the built-in layout; see docs/skins.md.

kKnobSize = 37
kKnobSpace = 48
kTextFieldH = 12
kDropdownW = 50
pad = 10
kGroupGap = 8
kWaveformW = 1004
kWaveformH = 335
kScriptDropdownW = 81
kScriptedKnobSpace = 42
kButtonW = 70
kButtonH = 30
kPresetMenuW = 200
kEditButtonW = 40
kEditButtons = { { "undo", "Undo" }, { "redo", "Redo" }, { "ab", "A/B" }, { "copyAToB", "A>B" }, { "copyBToA", "B>A" } }
-- The meters: 6 pixels wide, 0 dB at the top, -60 dB at the foot, a mark every 6 dB.
kMeterW = 6
kMeterH = 81
kMeterFloorDb = -60
kMeterStepDb = 6
kMeterScaleW = 20

-- Input spectrum (bars) and output spectrum (line) in colours that cannot be mistaken.
kInputColour = { 0.0, 0.75, 1.0 }
kOutputColour = { 1.0, 0.6, 0.0 }

function getWindowSize()
    return 1024, 512
end

function getFont()
    return { { name = "DejaVuSans.ttf", size = 13 } }
end

function getLabelFont()
    return { { name = "DejaVuSans.ttf", size = 10 } }
end

function getTextFieldFont()
    return { { name = "DejaVuSansMono.ttf", size = 11 }, { name = "DejaVuSans.ttf", size = 11 } }
end

local function knobWithTextField(g, parameter, labelText, x, y)
    g:add(knob(parameter, "", x, y + 13, kKnobSize))
    g:add(textField(parameter, labelText, x, y, kKnobSize, kTextFieldH))
end

local function labelledDropDown(g, parameter, labelText, x, y, width)
    width = width or kDropdownW
    g:add(dropDown(parameter, x, y, width, kTextFieldH))
    g:add(label(labelText, x, y - 14, width, kTextFieldH))
end

-- Four meters (input L R, output L R) with their dB scale on the left.
local function addMeters(x, y)
    local meters = vectorMeters(kMeterW, kMeterH, kMeterFloorDb, kMeterStepDb)
    local left = x + kMeterScaleW
    meters:add("input", 0, left, y)
    meters:add("input", 1, left + kMeterW + 2, y)
    meters:add("output", 0, left + 2 * kMeterW + 6, y)
    meters:add("output", 1, left + 3 * kMeterW + 8, y)
    for db = 0, kMeterFloorDb + 1, -4 * kMeterStepDb do
        local markY = y + (db - kMeterFloorDb) / -kMeterFloorDb * kMeterH
        add(label(tostring(db), x, markY - 5, kMeterScaleW - 2, 10))
    end
    return kMeterScaleW + 4 * kMeterW + 8
end

function createUI()
    theKnobRenderer = vectorKnobRenderer(kOutputColour[1], kOutputColour[2], kOutputColour[3])

    local windowWidth, windowHeight = getWindowSize()
    setBackgroundColour(0.02, 0.02, 0.03)
    setBannerPosition(windowHeight - 25)
    setBannerColour(0.0, 0.0, 0.0, 1.0)
    setBannerTextColour(1.0, 1.0, 1.0, 1.0)
    setGroupActiveColour(1.0, 1.0, 1.0, 1.0)
    setGroupInactiveColour(0.55, 0.55, 0.6, 1.0)

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

    scriptGroup = group("Script")
    labelledDropDown(scriptGroup, "Script Position", "Position", 0, 0, kScriptDropdownW)
    labelledDropDown(scriptGroup, "Script Index", "Index", 0, 30, kScriptDropdownW)

    scriptedGroup = group("Scripted")
    for i = 1, 4 do
        knobWithTextField(scriptedGroup, "Scripted " .. i, tostring(i), (i - 1) * kScriptedKnobSpace, 0)
    end

    -- The groups in a row; the meters sit between "Process" and "Mix".
    local x, y = 12, 30
    processGroup:setPosition(x, y)
    x = x + processGroup:width() + kGroupGap
    x = x + addMeters(x - kGroupGap, 10) + 4
    for _, g in ipairs({ mixGroup, viewGroup, miscGroup, scriptGroup, scriptedGroup }) do
        g:setPosition(x, y)
        x = x + g:width() + kGroupGap
    end

    local displayY = y + mixGroup:height() - 5
    wd = waveformDisplay(pad, displayY, kWaveformW, kWaveformH)
    wd:setFFTColour(kInputColour[1], kInputColour[2], kInputColour[3])
    wd:setPFFTColour(kOutputColour[1], kOutputColour[2], kOutputColour[3])
    wd:setSliderColours(0.3, 0.3, 0.34, 0.55, 0.55, 0.6)
    wd:setGridColour(1.0, 1.0, 1.0, 0.22)
    wd:setGridLabelColour(0.95, 0.95, 0.95)
    add(wd)

    local buttonY = displayY + 340
    add(button("Prefs", "Prefs", 20, buttonY, kButtonW, kButtonH))
    add(luaButton(allZero, "All Zero", "Set All Levels To Zero", "push", 100, buttonY, kButtonW, kButtonH))
    add(luaButton(allOne, "All One", "Set All Levels To One", "push", 180, buttonY, kButtonW, kButtonH))
    add(luaButton(oddToZero, "Zero Odd", "Set Odd Levels To Zero", "push", 260, buttonY, kButtonW, kButtonH))
    add(luaButton(evenToZero, "Zero Even", "Set Even Levels To Zero", "push", 340, buttonY, kButtonW, kButtonH))
    add(luaButton(invert, "Invert", "Invert Levels", "push", 420, buttonY, kButtonW, kButtonH))
    add(button("Console", "Console", 500, buttonY, kButtonW, kButtonH))
    -- Undo, redo and the A/B compare (Ctrl+Z, Ctrl+Y, Ctrl+B; see docs/skins.md).
    local editX = 580
    for _, edit in ipairs(kEditButtons) do
        add(editButton(edit[1], edit[2], editX, buttonY, kEditButtonW, kButtonH))
        editX = editX + kEditButtonW + 5
    end
    add(presetMenu(windowWidth - pad - kPresetMenuW, buttonY + 5, kPresetMenuW, kButtonH - 10))

    paramID_Bin0Level = getParameterID("Bin 0 Level")
end

-- Bulk edits of the bin levels, without edit gestures (the host records no automation).
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
