// The plug-in's own layout functions. Each runs inside a protected call and checks all
// its arguments before it creates anything.

#include "editor/product/PluginLuaGuiFunctions.h"

#include "editor/product/PresetMenu.h"
#include "editor/product/PresetPanel.h"
#include "editor/product/TKmanager.h"
#include "editor/product/InstanceAccess.h"
#include "editor/toolkit/LabelledTextField.h"
#include "editor/toolkit/LuaGui.h"
#include "editor/toolkit/LuaGuiSupport.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/TextureRecord.h"
#include "editor/toolkit/TexturedKnobRenderer.h"
#include "editor/toolkit/TexturedMeters.h"
#include "editor/toolkit/VectorKnobRenderer.h"
#include "editor/toolkit/VectorMeters.h"
#include "editor/product/WaveformDisplay.h"
#include "engine/model/DisplayBlock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

using namespace QN::luagui;

// Meters of a plug-in without a display block read this.
const std::atomic<float> silentLevel{0.0f};

// A colour component from the script: non-numbers raise the usual error, anything
// outside 0..1 (NaN included) is limited.
float componentAt(lua_State* L, int index)
{
    const float value = numberAt(L, index);
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

QN::TextureRecord* textureAt(lua_State* L, int index)
{
    return static_cast<QN::TextureRecord*>(objectAt(L, index, kTexture));
}

int levelMeters(lua_State* L)
{
    QN::TextureRecord* texture = textureAt(L, 1);
    const float u = numberAt(L, 2), v = numberAt(L, 3), w = numberAt(L, 4), h = numberAt(L, 5);
    QN::Manager& manager = buildingManagerOf(L);
    QN::LevelMeters* meters = manager.addEffect(std::make_unique<QN::TexturedMeters>(texture, u, v, w, h));
    pushObject(L, meters, kLevelMeters);
    return 1;
}

// A number argument within [low, high] (NaN refused), or fallback when absent.
float boundedAt(lua_State* L, int index, float low, float high, float fallback, const char* what)
{
    if (lua_isnoneornil(L, index)) return fallback;
    const float value = numberAt(L, index);
    if (!(value >= low && value <= high)) luaL_error(L, "%s must be from %f to %f", what, low, high);
    return value;
}

// vectorMeters(w, h [, floorDb [, stepDb]]): meters drawn without an image, on a dB scale.
int vectorMeters(lua_State* L)
{
    constexpr float kMaxSide = static_cast<float>(QN::LuaGui::kMaxSide);
    const float w = boundedAt(L, 1, 1.0f, kMaxSide, 0.0f, "the meter width");
    const float h = boundedAt(L, 2, 1.0f, kMaxSide, 0.0f, "the meter height");
    if (w == 0.0f || h == 0.0f) luaL_error(L, "the meter width and height are needed");
    const float floorDb = boundedAt(L, 3, -120.0f, -6.0f, -60.0f, "the meter floor (dB)");
    const float stepDb = boundedAt(L, 4, 1.0f, 60.0f, 6.0f, "the meter scale step (dB)");
    QN::Manager& manager = buildingManagerOf(L);
    QN::LevelMeters* meters = manager.addEffect(std::make_unique<QN::VectorMeters>(w, h, floorDb, stepDb));
    pushObject(L, meters, kLevelMeters);
    return 1;
}

int textField(lua_State* L)
{
    const int parameter = parameterAt(L, 1, false);
    const char* label = luaL_checkstring(L, 2);
    const float x = numberAt(L, 3), y = numberAt(L, 4), w = numberAt(L, 5), h = numberAt(L, 6);
    const char* format = lua_gettop(L) >= 7 ? luaL_checkstring(L, 7) : "";
    QN::Manager& manager = buildingManagerOf(L);
    pushObject(L, manager.make<QN::LabelledTextField>(parameter, format, label, x, y, w, h), kElement);
    return 1;
}

int setBackgroundTexture(lua_State* L)
{
    QN::TextureRecord* tile = textureAt(L, 1);
    QN::TextureRecord* normalMap = textureAt(L, 2);
    auto* manager = dynamic_cast<TKmanager*>(&buildingManagerOf(L));
    if (!manager) luaL_error(L, "this editor has no background texture");
    manager->setBackgroundTextures(tile, normalMap);
    return 0;
}

int knobRenderer(lua_State* L)
{
    QN::TextureRecord* image = textureAt(L, 1);
    QN::TextureRecord* normalMap = textureAt(L, 2);
    const float a = numberAt(L, 3), b = numberAt(L, 4), size = numberAt(L, 5);
    QN::Manager& manager = buildingManagerOf(L);
    QN::KnobRenderer* renderer =
        manager.addEffect(std::make_unique<QN::TexturedKnobRenderer>(image, normalMap, a, b, size));
    pushObject(L, renderer, kKnobRenderer);
    return 1;
}

// vectorKnobRenderer(r, g, b): knobs drawn as shapes, the travel in the given colour.
int vectorKnobRenderer(lua_State* L)
{
    const float r = componentAt(L, 1), g = componentAt(L, 2), b = componentAt(L, 3);
    QN::Manager& manager = buildingManagerOf(L);
    QN::KnobRenderer* renderer = manager.addEffect(std::make_unique<QN::VectorKnobRenderer>(r, g, b));
    pushObject(L, renderer, kKnobRenderer);
    return 1;
}

int waveformDisplay(lua_State* L)
{
    const float x = numberAt(L, 1), y = numberAt(L, 2), w = numberAt(L, 3), h = numberAt(L, 4);
    QN::Manager& manager = buildingManagerOf(L);
    DisplayBlock* block = builderOf(L).plugin().displayBlock();
    pushObject(L, manager.make<QN::WaveformDisplay>(x, y, w, h, block), kWaveformDisplay);
    return 1;
}

// presetMenu(x, y, w, h): the current preset's name; a click opens the preset panel. An
// editor without an instance behind it (a layout built for a test) shows a menu that
// opens nothing.
int presetMenu(lua_State* L)
{
    constexpr float kMaxSide = static_cast<float>(QN::LuaGui::kMaxSide);
    const float x = numberAt(L, 1), y = numberAt(L, 2), w = numberAt(L, 3), h = numberAt(L, 4);
    if (!(std::fabs(x) <= kMaxSide && std::fabs(y) <= kMaxSide && w >= 1 && w <= kMaxSide && h >= 1 && h <= kMaxSide))
        luaL_error(L, "the preset menu needs a position within %f and a size from 1 to %f", kMaxSide, kMaxSide);
    QN::Manager& manager = buildingManagerOf(L);
    const QN::Box rect = QN::Box::of(x, y, x + w, y + h);
    auto* connection = dynamic_cast<InstanceAccess*>(&builderOf(L).plugin());
    if (!connection) {
        pushObject(L, manager.make<PresetMenu>(rect, [] { return std::string("(no presets)"); }, nullptr), kElement);
        return 1;
    }
    PresetPanel* panel = manager.make<PresetPanel>(PresetLibrary(connection->instance()));
    PresetMenu* menu = manager.make<PresetMenu>(
        rect, [panel] { return panel->currentName(); }, [panel](const QN::Box& box) { panel->open(box); });
    pushObject(L, menu, kElement);
    return 1;
}

// meters:add(kind, channel, x, y)
int metersAdd(lua_State* L)
{
    auto* meters = static_cast<QN::LevelMeters*>(objectAt(L, 1, kLevelMeters));
    const char* kind = luaL_checkstring(L, 2);
    const bool input = std::strcmp(kind, "input") == 0;
    if (!input && std::strcmp(kind, "output") != 0) luaL_error(L, "unknown level meter: %s", kind);
    const double channelNumber = luaL_checknumber(L, 3);
    const int channel = std::isfinite(channelNumber) && std::fabs(channelNumber) < 1e9 ? static_cast<int>(channelNumber) : -1;
    if (channel != 0 && channel != 1) luaL_error(L, "level meter index out of range: %d", channel);
    const float x = numberAt(L, 4), y = numberAt(L, 5);
    buildingManagerOf(L);
    DisplayBlock* block = builderOf(L).plugin().displayBlock();
    const std::atomic<float>* level = &silentLevel;
    if (block) level = input ? &block->inputMeter[channel] : &block->outputMeter[channel];
    meters->add(x, y, level);
    lua_settop(L, 5);
    return 1;
}

QN::WaveformDisplay* displayAt(lua_State* L) { return static_cast<QN::WaveformDisplay*>(objectAt(L, 1, kWaveformDisplay)); }

int displaySetFFTColour(lua_State* L)
{
    displayAt(L)->setFFTColour(numberAt(L, 2), numberAt(L, 3), numberAt(L, 4));
    lua_settop(L, 4);
    return 1;
}

int displaySetPFFTColour(lua_State* L)
{
    displayAt(L)->setPFFTColour(numberAt(L, 2), numberAt(L, 3), numberAt(L, 4));
    lua_settop(L, 4);
    return 1;
}

int displaySetSliderColours(lua_State* L)
{
    QN::WaveformDisplay* display = displayAt(L);
    const float r1 = numberAt(L, 2), g1 = numberAt(L, 3), b1 = numberAt(L, 4);
    const float r2 = numberAt(L, 5), g2 = numberAt(L, 6), b2 = numberAt(L, 7);
    display->setSliderColours(r1, g1, b1, r2, g2, b2);
    lua_settop(L, 7);
    return 1;
}

// After the layout is built a restyled grid needs a new static layer.
void redrawGridLater(lua_State* L, QN::WaveformDisplay& display)
{
    if (!builderOf(L).isBuilding()) display.manager().requestStaticRedraw();
}

int displaySetGridColour(lua_State* L)
{
    QN::WaveformDisplay* display = displayAt(L);
    display->setGridColour(componentAt(L, 2), componentAt(L, 3), componentAt(L, 4), componentAt(L, 5));
    redrawGridLater(L, *display);
    lua_settop(L, 5);
    return 1;
}

int displaySetGridLabelColour(lua_State* L)
{
    QN::WaveformDisplay* display = displayAt(L);
    display->setGridLabelColour(componentAt(L, 2), componentAt(L, 3), componentAt(L, 4));
    redrawGridLater(L, *display);
    lua_settop(L, 4);
    return 1;
}

// display:showGrid(frequencies, levels, binLevels): false hides that part; nil or
// absent shows it.
int displayShowGrid(lua_State* L)
{
    QN::WaveformDisplay* display = displayAt(L);
    const auto shown = [L](int index) { return !(lua_isboolean(L, index) && !lua_toboolean(L, index)); };
    display->showGrid(shown(2), shown(3), shown(4));
    redrawGridLater(L, *display);
    lua_settop(L, 1);
    return 1;
}

const luaL_Reg kMeterMethods[] = {{"add", guarded<metersAdd>}, {nullptr, nullptr}};
const luaL_Reg kDisplayMethods[] = {{"setFFTColour", guarded<displaySetFFTColour>},
                                    {"setPFFTColour", guarded<displaySetPFFTColour>},
                                    {"setSliderColours", guarded<displaySetSliderColours>},
                                    {"setGridColour", guarded<displaySetGridColour>},
                                    {"setGridLabelColour", guarded<displaySetGridLabelColour>},
                                    {"showGrid", guarded<displayShowGrid>},
                                    {nullptr, nullptr}};

}  // namespace

void registerPluginGuiFunctions(lua_State* L)
{
    const luaL_Reg globals[] = {{"levelMeters", guarded<levelMeters>},
                                {"textField", guarded<textField>},
                                {"setBackgroundTexture", guarded<setBackgroundTexture>},
                                {"knobRenderer", guarded<knobRenderer>},
                                {"vectorKnobRenderer", guarded<vectorKnobRenderer>},
                                {"vectorMeters", guarded<vectorMeters>},
                                {"waveformDisplay", guarded<waveformDisplay>},
                                {"presetMenu", guarded<presetMenu>}};
    QN::luagui::registerGlobals(L, globals, static_cast<int>(std::size(globals)));
    createMetatable(L, kLevelMeters, kMeterMethods);
    createMetatable(L, kWaveformDisplay, kDisplayMethods);
    createMetatable(L, kKnobRenderer, nullptr);
}
