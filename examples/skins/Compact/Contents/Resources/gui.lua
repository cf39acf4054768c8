-- "Compact": a smaller Lumenfold editor with the spectrum on top and one row of
-- controls. Copy the "Compact" folder into the skins folder and set Skin=Compact in
-- the preference file (see docs/skins.md).

function getWindowSize()
    return 640, 360
end

function getFont()
    return { { name = "DejaVuSans.ttf", size = 13 } }
end

function getLabelFont()
    return { { name = "DejaVuSans.ttf", size = 10 } }
end

function getTextFieldFont()
    return { { name = "DejaVuSans.ttf", size = 11 } }
end

local function knobWithField(g, parameter, text, x)
    g:add(knob(parameter, "", x, 13, 37))
    g:add(textField(parameter, text, x, 0, 37, 12, "%.1f"))
end

function createUI()
    local atlas = texture("buttons.png")
    local atlasNormals = texture("buttons_n.png")
    setBackgroundTexture(texture("bgtile.png"), texture("bgtile_n.png"))
    theKnobRenderer = knobRenderer(atlas, atlasNormals, 1, 1, 37)

    setBackgroundColour(0.05, 0.12, 0.2)
    setBannerPosition(335, false)
    setGroupActiveColour(0.6, 0.9, 0.8, 0.8)
    setGroupInactiveColour(0.4, 0.55, 0.6, 0.5)

    local levels = group("Levels")
    knobWithField(levels, "Input Gain", "In", 0)
    knobWithField(levels, "Dry Level", "Dry", 48)
    knobWithField(levels, "Wet Level", "Wet", 96)
    knobWithField(levels, "Output Gain", "Out", 144)
    levels:setPosition(20, 30)

    local analysis = group("Analysis")
    analysis:add(dropDown("FFT Size", 0, 30, 50, 12))
    analysis:add(label("FFT", 0, 16, 50, 12))
    analysis:add(dropDown("View X Axis", 0, 0, 50, 12))
    analysis:add(label("Axis", 0, -14, 50, 12))
    knobWithField(analysis, "View Smoothing", "Smooth", 60)
    analysis:setPosition(20 + levels:width() + 20, 30)

    local display = waveformDisplay(10, 110, 620, 215)
    display:setFFTColour(0.1, 0.45, 0.5)
    display:setPFFTColour(0.4, 0.95, 0.85)
    display:setSliderColours(0.1, 0.3, 0.4, 0.15, 0.35, 0.45)
    add(display)

    add(luaButton(function()
        for bin = 0, 2048 do setParameter("Bin " .. bin .. " Level", 1.0, false) end
    end, "Reset", "Set All Levels To One", "push", 560, 30, 60, 24))

    local meters = levelMeters(atlas, 123, 0, 5, 81)
    meters:add("input", 0, 520, 15)
    meters:add("output", 0, 530, 15)
end
