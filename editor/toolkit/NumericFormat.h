#pragma once

#include <optional>
#include <string>

namespace QN {

// A printf pattern for one double that came from a layout script. Only patterns with
// exactly one floating-point conversion (%f, %e, %g and their capitals, with flags,
// width and precision) and otherwise literal text or "%%" are accepted: anything else
// could read arguments that are not there. Formats with '.' whatever the locale.
class NumericFormat {
public:
    // An empty or unusable pattern gives no format.
    [[nodiscard]] static std::optional<NumericFormat> parse(const std::string& pattern);

    // At most 63 characters. Called on: any thread.
    [[nodiscard]] std::string format(double value) const;
    [[nodiscard]] const std::string& pattern() const { return pattern_; }

private:
    explicit NumericFormat(std::string pattern) : pattern_(std::move(pattern)) {}
    std::string pattern_;
};

}  // namespace QN
