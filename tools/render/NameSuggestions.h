#pragma once
// Helping a person who typed a name or a value text that is not quite right: the closest
// candidates ("Wet" -> "Wet Level", "inptu gain" -> "Input Gain"), and the numbers a
// numbered name takes ("Bin 5000 Level": "Bin N Level" runs from 0 to 2048).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lfrender {

// A set of names that differ only in one whole number ("Bin 0 Level" ... "Bin 2048 Level").
struct NumberedFamily {
    std::string pattern;  // the name with "N" for the number: "Bin N Level"
    int first = 0;
    int last = 0;
};

// The family of names like typed (the same words, another number), when typed holds a
// number and at least one name matches it; compared without regard to case.
[[nodiscard]] std::optional<NumberedFamily> numberedFamilyOf(std::string_view typed,
                                                             const std::vector<std::string>& names);

// Up to most candidates close to typed, best first: those whose words the typed words
// begin ("wet" -> "Wet Level", "gain" -> "Input Gain"), then those a few typing errors
// away. With familiesOnce a numbered family is offered once, as "Bin N Level". Repeated
// names count once.
[[nodiscard]] std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& candidates,
                                                    std::size_t most = 3, bool familiesOnce = true);

// "did you mean "A", "B" or "C"?"; empty for no names.
[[nodiscard]] std::string didYouMean(const std::vector<std::string>& names);

// "A, B or C" (each quoted when quote is set).
[[nodiscard]] std::string listInWords(const std::vector<std::string>& items, bool quote);

}  // namespace lfrender
