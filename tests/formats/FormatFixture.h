#pragma once
// What the format tests share: the built plug-in in each format, one test signal, one
// setting and one MIDI sequence, and a renderer per format that plays them through it.

#include "engine/model/ParameterTable.h"
#include "tools/host/ClapHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace formats {

using Channels = std::vector<std::vector<float>>;

constexpr int kFrames = 8192;
constexpr int kBlock = 512;
constexpr double kSampleRate = 48000.0;

inline Channels testSignal(int frames = kFrames)
{
    Channels signal(2, std::vector<float>(static_cast<std::size_t>(frames)));
    std::uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        signal[0][i] = 0.5f * std::sin(0.031f * static_cast<float>(i)) + 0.2f * noise;
        signal[1][i] = 0.4f * std::sin(0.007f * static_cast<float>(i)) - 0.1f * noise;
    }
    return signal;
}

// A setting in plain values; the script index is set apart (its range is per instance).
struct Setting {
    int id;
    float plain;
};
inline const std::vector<Setting>& testSetting()
{
    static const std::vector<Setting> setting = {
        {ParameterId::FftSize, 4},       {ParameterId::InputGain, -6.0f}, {ParameterId::DryLevel, 0.25f},
        {ParameterId::ScriptPosition, 1}, {ParameterId::Scripted2, 0.5f}, {kBinLevelBase + 3, 0.0f},
        {kBinLevelBase + 10, 0.5f},      {kBinLevelBase + 40, 0.125f},   {kBinLevelBase + 200, 0.75f},
    };
    return setting;
}

// Controllers the built-in MIDI script maps (2: "Dry Level", 15: "Input Gain"), at offsets
// inside blocks: {block, offset, controller, value}.
struct Controller {
    int block;
    int offset;
    int controller;
    int value;
};
inline const std::vector<Controller>& testControllers()
{
    static const std::vector<Controller> controllers = {
        {2, 100, 2, 64}, {2, 300, 15, 40}, {5, 7, 2, 127}, {9, 511, 15, 90}, {11, 0, 2, 10}};
    return controllers;
}

inline std::unique_ptr<lfhost::ClapPluginHost> loadClap()
{
    std::string error;
    auto host = lfhost::ClapPluginHost::load(LUMENFOLD_CLAP_PATH, &error);
    EXPECT_TRUE(host) << error;
    return host;
}

// The plain value the VST host's 0..1 view of `plain` stands for, so that every format
// is given exactly the same number.
inline float throughNormalized(int id, float plain, float maximum)
{
    ParameterInfo row = parameterInfo(id);
    row.maxValue = maximum;
    return normalizedToPlain(row, plainToNormalized(row, plain));
}

// The script index plain value 1 and the instance's own maximum (from the CLAP info).
inline float scriptIndexMaximum(lfhost::ClapPluginHost& clap)
{
    const auto* params = clap.extension<clap_plugin_params_t>(kClapExtParams);
    clap_param_info_t info{};
    EXPECT_TRUE(params->get_info(clap.plugin(), ParameterId::ScriptIndex, &info));
    return static_cast<float>(info.max_value);
}

// Plays the signal through the CLAP plug-in in place (output written over the input).
inline Channels renderClap(lfhost::ClapPluginHost& clap, float scriptMaximum)
{
    for (const Setting& s : testSetting()) {
        clap.setParameter(s.id, throughNormalized(s.id, s.plain, parameterInfo(s.id).maxValue));
    }
    if (scriptMaximum >= 1.0f) clap.setParameter(ParameterId::ScriptIndex, 1.0);
    EXPECT_TRUE(clap.activate(kSampleRate, kBlock));
    Channels buffer = testSignal();
    for (int block = 0; block * kBlock < kFrames; ++block) {
        for (const Controller& c : testControllers()) {
            if (c.block == block) {
                clap.sendMidi(c.offset, 0xB0, static_cast<std::uint8_t>(c.controller), static_cast<std::uint8_t>(c.value));
            }
        }
        float* io[2] = {buffer[0].data() + block * kBlock, buffer[1].data() + block * kBlock};
        EXPECT_EQ(clap.process(io, io, kBlock), CLAP_PROCESS_CONTINUE);
    }
    return buffer;
}

inline Channels renderVst(lfhost::PluginInstance& vst, float scriptMaximum)
{
    for (const Setting& s : testSetting()) {
        const ParameterInfo row = parameterInfo(s.id);
        vst.setParameter(s.id, plainToNormalized(row, s.plain));
    }
    if (scriptMaximum >= 1.0f) vst.setParameter(ParameterId::ScriptIndex, 1.0f / scriptMaximum);
    vst.setSampleRate(static_cast<float>(kSampleRate));
    vst.setBlockSize(kBlock);
    vst.resume();
    const Channels input = testSignal();
    Channels output(2, std::vector<float>(kFrames));
    for (int block = 0; block * kBlock < kFrames; ++block) {
        std::vector<lfhost::MidiMessage> midi;
        for (const Controller& c : testControllers()) {
            if (c.block == block) {
                midi.push_back({c.offset, {0xB0, static_cast<unsigned char>(c.controller), static_cast<unsigned char>(c.value)}});
            }
        }
        if (!midi.empty()) vst.sendMidi(midi);
        float* in[2] = {const_cast<float*>(input[0].data()) + block * kBlock, const_cast<float*>(input[1].data()) + block * kBlock};
        float* out[2] = {output[0].data() + block * kBlock, output[1].data() + block * kBlock};
        vst.processReplacing(in, out, kBlock);
    }
    return output;
}

inline std::unique_ptr<lfhost::PluginInstance> loadVst()
{
    std::string error;
    auto instance = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    EXPECT_TRUE(instance) << error;
    return instance;
}

}  // namespace formats

#include "formats/lv2/Lv2Ports.h"
#include "tools/host/Lv2Host.h"

namespace formats {

inline std::string symbolOf(int id)
{
    std::string symbol;
    for (const char* c = parameterInfo(id).name; *c; ++c) {
        const bool word = std::isalnum(static_cast<unsigned char>(*c));
        symbol += word ? static_cast<char>(std::tolower(static_cast<unsigned char>(*c))) : '_';
    }
    return symbol;
}

inline std::unique_ptr<lfhost::Lv2PluginHost> loadLv2()
{
    std::string error;
    auto host = lfhost::Lv2PluginHost::load(LUMENFOLD_LV2_BUNDLE, lumenfold::lv2::kPluginUri, kSampleRate, &error);
    EXPECT_TRUE(host) << error;
    return host;
}

inline std::string binUri(int id) { return lumenfold::lv2::kBinUriPrefix + std::to_string(id - kBinLevelBase); }

// Plays the signal through the LV2 plug-in: main parameters on control ports, bin levels
// as patch:Set messages, separate output buffers.
inline Channels renderLv2(lfhost::Lv2PluginHost& lv2, float scriptMaximum)
{
    for (const Setting& s : testSetting()) {
        const float plain = throughNormalized(s.id, s.plain, parameterInfo(s.id).maxValue);
        if (s.id >= kBinLevelBase) {
            lv2.setProperty(binUri(s.id), plain);
        } else {
            EXPECT_TRUE(lv2.setControl(symbolOf(s.id), plain)) << symbolOf(s.id);
        }
    }
    if (scriptMaximum >= 1.0f) lv2.setControl("script_index", 1.0f);
    const Channels input = testSignal();
    Channels output(2, std::vector<float>(kFrames));
    for (int block = 0; block * kBlock < kFrames; ++block) {
        for (const Controller& c : testControllers()) {
            if (c.block == block) {
                lv2.sendMidi(c.offset, 0xB0, static_cast<std::uint8_t>(c.controller), static_cast<std::uint8_t>(c.value));
            }
        }
        float* in[2] = {const_cast<float*>(input[0].data()) + block * kBlock, const_cast<float*>(input[1].data()) + block * kBlock};
        float* out[2] = {output[0].data() + block * kBlock, output[1].data() + block * kBlock};
        lv2.run(in, out, kBlock);
    }
    return output;
}

}  // namespace formats
