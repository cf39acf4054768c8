#pragma once
// A plug-in for the toolkit's tests: values in a table, every call to the host recorded.

#include "editor/toolkit/PluginConnection.h"
#include "engine/model/ParameterTable.h"

#include <atomic>
#include <string>
#include <vector>

class FakePluginConnection : public QN::PluginConnection {
public:
    FakePluginConnection() : values_(kParameterCount)
    {
        for (int i = 0; i < kParameterCount; ++i) values_[static_cast<std::size_t>(i)] = parameterInfo(i).defaultValue;
    }

    int parameterCount() override { return kParameterCount; }
    ParameterInfo parameterRow(int index) override { return parameterInfo(index); }
    float plainValue(int index) override { return values_[static_cast<std::size_t>(index)]; }
    void setPlainValueAutomated(int index, float plain) override
    {
        values_[static_cast<std::size_t>(index)] = plain;
        automated.push_back(index);
    }
    void setPlainValue(int index, float plain) override
    {
        values_[static_cast<std::size_t>(index)] = plain;
        quiet.push_back(index);
    }
    std::vector<std::string> valueStrings(int index) override
    {
        return index == ParameterId::FftSize ? std::vector<std::string>{"32", "64", "128", "256", "512", "1024", "2048", "4096"}
                                              : std::vector<std::string>{};
    }
    DisplayBlock* displayBlock() override { return display; }
    void beginEdit(int index) override { log.push_back("begin " + std::to_string(index)); }
    void endEdit(int index) override { log.push_back("end " + std::to_string(index)); }
    void updateDisplay() override { log.push_back("update"); }
    std::string displayText(int index) override { return std::to_string(values_[static_cast<std::size_t>(index)]); }
    std::string unitLabel(int) override { return "dB"; }
    float sampleRate() override { return rate; }

    void setValue(int index, float value) { values_[static_cast<std::size_t>(index)] = value; }

    std::vector<std::string> log;
    std::vector<int> automated;
    std::vector<int> quiet;
    DisplayBlock* display = nullptr;
    float rate = 44100.0f;

private:
    std::vector<float> values_;
};
