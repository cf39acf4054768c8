#include "tools/render/NameSuggestions.h"

#include "tools/render/TextMatching.h"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace lfrender {
namespace {

// Longer texts are not compared letter by letter: nobody mistypes a name that long.
constexpr std::size_t kMaxComparedLength = 64;

std::vector<std::string> wordsOf(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) words.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::optional<int> wholeNumber(std::string_view word)
{
    int value = 0;
    const auto [stop, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || stop != word.data() + word.size() || word.front() == '-') return std::nullopt;
    return value;
}

// The name with its one number word as "N", and that number; nothing for a name with no
// number word or more than one.
struct Numbered {
    std::string pattern;
    int number = 0;
};

std::optional<Numbered> numbered(std::string_view name)
{
    std::vector<std::string> words = wordsOf(name);
    std::optional<Numbered> found;
    for (std::string& word : words) {
        const std::optional<int> number = wholeNumber(word);
        if (!number) continue;
        if (found) return std::nullopt;
        found = Numbered{{}, *number};
        word.assign(1, 'N');
    }
    if (!found) return std::nullopt;
    for (const std::string& word : words) {
        if (!found->pattern.empty()) found->pattern += ' ';
        found->pattern += word;
    }
    return found;
}

std::string joinedWords(std::string_view text)
{
    std::string joined;
    for (const std::string& word : wordsOf(trimmed(text))) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// Optimal string alignment distance: insertions, deletions, substitutions and swaps of
// neighbours each count one.
std::size_t editDistance(std::string_view a, std::string_view b)
{
    a = a.substr(0, kMaxComparedLength);
    b = b.substr(0, kMaxComparedLength);
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// True when every typed word begins some word of the candidate.
bool wordsBegin(const std::vector<std::string>& typedWords, const std::vector<std::string>& candidateWords)
{
    if (typedWords.empty()) return false;
    return std::all_of(typedWords.begin(), typedWords.end(), [&](const std::string& typed) {
        return std::any_of(candidateWords.begin(), candidateWords.end(),
                           [&](const std::string& word) { return word.rfind(typed, 0) == 0; });
    });
}

std::size_t allowedTypingErrors(std::size_t length) { return length <= 4 ? 1 : length <= 10 ? 2 : 3; }

// Names as offered, each once; with familiesOnce a numbered family once, by its pattern.
std::vector<std::string> offeredNames(const std::vector<std::string>& candidates, bool familiesOnce)
{
    std::vector<std::string> offered;
    for (const std::string& candidate : candidates) {
        const std::optional<Numbered> family = familiesOnce ? numbered(candidate) : std::nullopt;
        std::string name = family ? family->pattern : joinedWords(candidate);
        const auto same = [&](const std::string& kept) { return equalsIgnoringCase(kept, name); };
        if (!name.empty() && std::none_of(offered.begin(), offered.end(), same)) offered.push_back(std::move(name));
    }
    return offered;
}

}  // namespace

std::optional<NumberedFamily> numberedFamilyOf(std::string_view typed, const std::vector<std::string>& names)
{
    const std::optional<Numbered> wanted = numbered(joinedWords(typed));
    if (!wanted) return std::nullopt;
    std::optional<NumberedFamily> family;
    for (const std::string& name : names) {
        const std::optional<Numbered> member = numbered(name);
        if (!member || !equalsIgnoringCase(member->pattern, wanted->pattern)) continue;
        if (!family) family = NumberedFamily{member->pattern, member->number, member->number};
        family->first = std::min(family->first, member->number);
        family->last = std::max(family->last, member->number);
    }
    return family;
}

std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& candidates, std::size_t most,
                                      bool familiesOnce)
{
    const std::optional<Numbered> typedFamily = familiesOnce ? numbered(joinedWords(typed)) : std::nullopt;
    const std::string key = lowerAscii(typedFamily ? typedFamily->pattern : joinedWords(typed));
    const std::vector<std::string> typedWords = wordsOf(key);
    // (kind: 0 the words match, 1 typing errors; distance; order in the list)
    std::vector<std::tuple<int, std::size_t, std::size_t>> ranked;
    const std::vector<std::string> offered = offeredNames(candidates, familiesOnce);
    for (std::size_t i = 0; i < offered.size(); ++i) {
        const std::string candidate = lowerAscii(offered[i]);
        const std::size_t distance = editDistance(key, candidate);
        if (wordsBegin(typedWords, wordsOf(candidate))) ranked.emplace_back(0, distance, i);
        else if (distance <= allowedTypingErrors(key.size())) ranked.emplace_back(1, distance, i);
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<std::string> closest;
    for (std::size_t i = 0; i < ranked.size() && i < most; ++i) closest.push_back(offered[std::get<2>(ranked[i])]);
    return closest;
}

std::string listInWords(const std::vector<std::string>& items, bool quote)
{
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) list += i + 1 == items.size() ? " or " : ", ";
        list += quote ? "\"" + items[i] + "\"" : items[i];
    }
    return list;
}

std::string didYouMean(const std::vector<std::string>& names)
{
    return names.empty() ? std::string() : "did you mean " + listInWords(names, true) + "?";
}

}  // namespace lfrender
