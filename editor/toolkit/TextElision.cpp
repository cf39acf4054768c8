#include "editor/toolkit/TextElision.h"

#include "editor/toolkit/Font.h"

namespace QN {
namespace {

constexpr const char* kEllipsis = "...";

// Where the path ends: at its first ':' (before the line number); npos when the text does
// not start like a path.
std::size_t pathEnd(const std::string& text)
{
    if (text.rfind('/', 0) != 0 && text.rfind(kEllipsis, 0) != 0) return std::string::npos;
    return text.find(':');
}

}  // namespace

std::string elideMiddle(const Font& font, const std::string& text, float width)
{
    if (font.measureText(text) <= width) return text;
    // Characters leave alternately from the end of the front part and the start of the back.
    std::string front = text.substr(0, text.size() / 2), back = text.substr(text.size() / 2);
    while (!front.empty() || !back.empty()) {
        if (back.size() >= front.size()) {
            back.erase(0, 1);
        } else {
            front.pop_back();
        }
        const std::string shown = front + kEllipsis + back;
        if (font.measureText(shown) <= width) return shown;
    }
    return kEllipsis;
}

std::string elideLeadingFolders(const Font& font, const std::string& text, float width)
{
    std::size_t end = pathEnd(text);
    if (end == std::string::npos) return text;
    std::string shown = text;
    const std::size_t cut = std::string(kEllipsis).size();
    const auto dropFirstFolder = [&] {
        const std::size_t start = shown.rfind(kEllipsis, 0) == 0 ? cut : 0;
        const std::size_t slash = shown.find('/', start + 1);
        if (slash == std::string::npos || slash > shown.rfind('/', end)) return false;
        shown = kEllipsis + shown.substr(slash);
        end = shown.find(':');
        return true;
    };
    // "...nm/data/..." names a folder that does not exist: it goes whatever the width.
    if (shown.rfind(kEllipsis, 0) == 0 && shown.compare(cut, 1, "/") != 0) (void)dropFirstFolder();
    while (font.measureText(shown) > width && dropFirstFolder()) {
    }
    return shown;
}

}  // namespace QN
