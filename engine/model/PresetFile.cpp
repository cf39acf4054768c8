#include "engine/model/PresetFile.h"

#include "engine/model/ValueFormatting.h"
#include "engine/model/ValueText.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

constexpr std::string_view kHeaderStart = "Lumenfold preset ";
constexpr std::string_view kStoredMark = " stored";
constexpr std::string_view kBinsKey = "bins ";
constexpr std::string_view kNameKey = "name";
constexpr std::string_view kEndLine = "end";
constexpr std::size_t kQuotedChars = 48;

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool isUnusedRow(int id) { return std::string_view(parameterInfo(id).name) == "Dummy"; }

// The shortest text that reads back to exactly this float.
std::string shortestNumber(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A stored number as the instance admits it: finite, clamped, whole steps on list rows.
std::optional<float> storedValue(const ParameterInfo& row, std::string_view number)
{
    const std::optional<float> parsed = parseParameterNumber(trimmed(number));
    if (!parsed) return std::nullopt;
    const std::optional<float> admitted = admittedPlainValue(row, *parsed);
    if (!admitted) return std::nullopt;
    return steppedPlainValue(row, *admitted);
}

std::optional<float> valueFromText(int id, const ParameterInfo& row, std::string_view text)
{
    if (endsWith(text, kStoredMark)) return storedValue(row, text.substr(0, text.size() - kStoredMark.size()));
    return ValueText(id, row).plainFromText(text, ValueText::Reading::Displayed);
}

// The displayed text where it reads back exactly, else the number, marked as stored
// where the display would read a bare number in another unit (the mix levels' dB).
std::string valueText(int id, const ParameterInfo& row, float value)
{
    const ValueText texts(id, row);
    const std::string label = unitLabel(row.unit);
    const std::string number = shortestNumber(value);
    const std::string candidates[] = {texts.labelledText(value), label.empty() ? number : number + " " + label, number};
    for (const std::string& candidate : candidates) {
        const std::optional<float> back = valueFromText(id, row, candidate);
        if (back && *back == value) return candidate;
    }
    return number + std::string(kStoredMark);
}

std::string binRangeKey(int first, int last)
{
    return std::string(kBinsKey) + std::to_string(first) + (first == last ? "" : "-" + std::to_string(last));
}

void appendBinRuns(std::string& out, const ProgramValues& content, const PresetFile::RowOf& rowOf)
{
    const auto valueOf = [&content](int bin) { return content.values[static_cast<std::size_t>(kBinLevelBase + bin)]; };
    int bin = 0;
    while (bin < kBinCount) {
        int last = bin;
        while (last + 1 < kBinCount && valueOf(last + 1) == valueOf(bin)) ++last;
        const int id = kBinLevelBase + bin;
        const ParameterInfo row = rowOf(id);
        if (valueOf(bin) != row.defaultValue)
            out += binRangeKey(bin, last) + " = " + valueText(id, row, valueOf(bin)) + "\n";
        bin = last + 1;
    }
}

// A line as a message may quote it: short, printable ASCII.
std::string quoted(std::string_view line)
{
    std::string out = "\"";
    for (std::size_t k = 0; k < line.size() && k < kQuotedChars; ++k) {
        const auto c = static_cast<unsigned char>(line[k]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return out + (line.size() > kQuotedChars ? "...\"" : "\"");
}

std::optional<int> wholeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The name cut at a character boundary so that it fits the program block.
std::string fittedName(std::string_view name)
{
    std::size_t size = std::min(name.size(), ProgramValues::kNameSize - 1);
    while (size > 0 && size < name.size() && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80) --size;
    return std::string(name.substr(0, size));
}

// Reads the lines of one file into a Reading; each method returns the reason a line is
// skipped, or nothing when it was taken over.
class LineReader {
public:
    LineReader(PresetFile::Reading& reading, const PresetFile::RowOf& rowOf) : reading_(reading), rowOf_(rowOf) {}

    void readAll(std::string_view text);

private:
    std::optional<std::string> readHeader(std::string_view line);
    std::optional<std::string> readLine(std::string_view line);
    std::optional<std::string> readName(std::string_view value);
    std::optional<std::string> readBins(std::string_view range, std::string_view value);
    std::optional<std::string> readParameter(std::string_view name, std::string_view value);
    void skip(int number, std::string_view line, const std::string& reason);
    void finish();

    PresetFile::Reading& reading_;
    const PresetFile::RowOf& rowOf_;
    bool headerSeen_ = false;
    bool endSeen_ = false;
    int valueAttempts_ = 0;  // lines that are not the header, the name or the end
    std::size_t skipped_ = 0;
};

void LineReader::readAll(std::string_view text)
{
    int number = 0;
    while (!text.empty() && reading_.usable()) {
        const std::size_t newline = text.find('\n');
        const std::string_view raw = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        ++number;
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#') continue;
        std::optional<std::string> problem;
        if (raw.size() > PresetFile::kMaxLineChars) problem = "longer than " + std::to_string(PresetFile::kMaxLineChars) + " characters";
        else if (!headerSeen_) problem = readHeader(line);
        else problem = readLine(line);
        if (problem) skip(number, line, *problem);
    }
    finish();
}

std::optional<std::string> LineReader::readHeader(std::string_view line)
{
    const std::optional<int> version =
        line.substr(0, kHeaderStart.size()) == kHeaderStart ? wholeNumber(line.substr(kHeaderStart.size())) : std::nullopt;
    if (!version || *version < 1) {
        reading_.refusal = "not a Lumenfold preset: its first line is not \"Lumenfold preset " +
                           std::to_string(PresetFile::kFormatVersion) + "\"";
        return std::nullopt;
    }
    headerSeen_ = true;
    if (*version > PresetFile::kFormatVersion)
        reading_.messages.push_back("written in preset format " + std::to_string(*version) + ", newer than this version's " +
                                    std::to_string(PresetFile::kFormatVersion) + ": lines it does not know are skipped");
    return std::nullopt;
}

std::optional<std::string> LineReader::readLine(std::string_view line)
{
    if (line == kEndLine) {
        endSeen_ = true;
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : trimmed(line.substr(equals + 1));
    if (key != kNameKey) ++valueAttempts_;
    if (endSeen_) return std::string("after the \"end\" line");
    if (equals == std::string_view::npos) return std::string("no \"NAME = VALUE\"");
    if (key == kNameKey) return readName(value);
    if (key.substr(0, kBinsKey.size()) == kBinsKey) return readBins(trimmed(key.substr(kBinsKey.size())), value);
    return readParameter(key, value);
}

std::optional<std::string> LineReader::readName(std::string_view value)
{
    const std::string name = fittedName(value);
    if (!isPrintableText(name.c_str())) return std::string("the name holds characters a name may not hold");
    copyText(reading_.content.name.data(), name, ProgramValues::kNameSize - 1);
    if (name.size() < value.size())
        reading_.messages.push_back("the name is longer than " + std::to_string(ProgramValues::kNameSize - 1) +
                                    " bytes: shortened to \"" + name + "\"");
    return std::nullopt;
}

std::optional<std::string> LineReader::readBins(std::string_view range, std::string_view value)
{
    const std::size_t dash = range.find('-');
    const std::optional<int> first = wholeNumber(trimmed(range.substr(0, dash)));
    const std::optional<int> last =
        dash == std::string_view::npos ? first : wholeNumber(trimmed(range.substr(dash + 1)));
    if (!first || !last || *first < 0 || *last < *first || *last >= kBinCount)
        return "bins are numbered 0 to " + std::to_string(kBinCount - 1) + ", as FIRST-LAST";
    const int id = kBinLevelBase + *first;
    const std::optional<float> plain = valueFromText(id, rowOf_(id), value);
    if (!plain) return std::string("not a bin level (0 to 1)");
    for (int bin = *first; bin <= *last; ++bin)
        reading_.content.values[static_cast<std::size_t>(kBinLevelBase + bin)] = *plain;
    ++reading_.valueLines;
    return std::nullopt;
}

std::optional<std::string> LineReader::readParameter(std::string_view name, std::string_view value)
{
    const int id = findParameterByName(name);
    if (id < 0 || isUnusedRow(id)) return std::string("no parameter has this name");
    const std::optional<float> plain = valueFromText(id, rowOf_(id), value);
    if (!plain) return std::string("not a value of this parameter");
    reading_.content.values[static_cast<std::size_t>(id)] = *plain;
    ++reading_.valueLines;
    return std::nullopt;
}

void LineReader::skip(int number, std::string_view line, const std::string& reason)
{
    if (++skipped_ <= PresetFile::kMaxNamedLines)
        reading_.messages.push_back("line " + std::to_string(number) + " skipped (" + reason + "): " + quoted(line));
}

void LineReader::finish()
{
    if (!reading_.usable()) return;
    if (!headerSeen_) {
        reading_.refusal = "not a Lumenfold preset: the file is empty";
        return;
    }
    if (skipped_ > PresetFile::kMaxNamedLines)
        reading_.messages.push_back(std::to_string(skipped_ - PresetFile::kMaxNamedLines) + " more lines skipped");
    // Every value line broken: applying the defaults alone would be a silent reset.
    if (valueAttempts_ > 0 && reading_.valueLines == 0) {
        reading_.refusal = "none of its value lines could be read";
        return;
    }
    if (!endSeen_) reading_.messages.push_back("the file has no \"end\" line: it may have been cut short");
}

}  // namespace

ProgramValues PresetFile::defaults()
{
    ProgramValues content;
    for (int id = 0; id < kParameterCount; ++id)
        content.values[static_cast<std::size_t>(id)] = parameterInfo(id).defaultValue;
    return content;
}

std::string PresetFile::text(const ProgramValues& content, const RowOf& rowOf)
{
    std::string out = std::string(kHeaderStart) + std::to_string(kFormatVersion) + "\n";
    const std::string name(content.name.data());
    if (!name.empty() && isPrintableText(name.c_str())) out += std::string(kNameKey) + " = " + name + "\n";
    for (int id = 0; id < kBinLevelBase; ++id) {
        const ParameterInfo row = rowOf(id);
        const float value = content.values[static_cast<std::size_t>(id)];
        if (isUnusedRow(id) || value == row.defaultValue) continue;
        out += std::string(row.name) + " = " + valueText(id, row, value) + "\n";
    }
    appendBinRuns(out, content, rowOf);
    return out + std::string(kEndLine) + "\n";
}

PresetFile::Reading PresetFile::parse(std::string_view text, const RowOf& rowOf)
{
    Reading reading;
    reading.content = defaults();
    LineReader(reading, rowOf).readAll(text);
    return reading;
}

PresetFile::Reading PresetFile::read(const std::string& path, const RowOf& rowOf)
{
    const platform::FileRead file = platform::readRegularFile(path, kMaxFileBytes);
    if (file.status != platform::FileReadStatus::Read) {
        Reading refused;
        refused.content = defaults();
        refused.refusal = std::string("cannot read the file: ") + platform::describe(file.status);
        return refused;
    }
    return parse(file.text, rowOf);
}
