#include "tools/render/LumenfoldParameterCatalog.h"

#include "engine/model/ParameterTable.h"
#include "engine/model/ValueText.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/TextMatching.h"

namespace lfrender {
namespace {

constexpr VstInt32 kLumenfoldUniqueId = fourCharCode('Q', 'N', 'l', 'f');

class TableCatalog : public ParameterCatalog {
public:
    int findByName(std::string_view name) const override
    {
        for (int id = 0; id < kParameterCount; ++id)
            if (equalsIgnoringCase(name, parameterInfo(id).name)) return id;
        return -1;
    }

    ParameterRange range(int id) const override
    {
        const ParameterInfo info = parameterInfo(id);
        ParameterRange range;
        range.minValue = info.minValue;
        range.maxValue = info.maxValue;
        range.isIndexed = info.unit == ParameterUnit::Indexed;
        range.maximumKnownOnlyToPlugin = range.isIndexed && info.maxValue <= info.minValue;
        range.unitIsNotPlain = info.unit == ParameterUnit::MixerFaderCurve1;
        return range;
    }

    float plainToNormalized(int id, float plain) const override { return ::plainToNormalized(id, plain); }

    float normalizedToPlain(int id, float normalized) const override { return ::normalizedToPlain(id, normalized); }

    std::string unit(int id) const override { return unitLabel(parameterInfo(id).unit); }

    // A bare number is the stored value (the mix levels' fader position); "-6 dB" and
    // "-inf" are converted from the unit shown.
    std::optional<float> plainFromValueText(int id, const std::string& text) const override
    {
        return ValueText(id, parameterInfo(id)).plainFromText(text, ValueText::Reading::StoredNumber);
    }

    std::optional<float> defaultValue(int id) const override { return parameterInfo(id).defaultValue; }
};

}  // namespace

std::unique_ptr<ParameterCatalog> makeLumenfoldParameterCatalog(lfhost::PluginInstance& plugin)
{
    if (plugin.uniqueId() != kLumenfoldUniqueId || plugin.numParams() != kParameterCount) return nullptr;
    return std::make_unique<TableCatalog>();
}

}  // namespace lfrender
