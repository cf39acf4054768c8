#pragma once

#include <map>
#include <string>

namespace QN {

// Texts shown for elements that are not parameters (buttons), under negative ids; -1
// means "nothing hovered" and is never used.
// Called on: host GUI thread (registration); render thread (lookup, through the
// manager's one-entry cache, filled only while the layout is not changing it).
class HoverTextTable {
public:
    // Stores text under id (a layout's fixed entries).
    void enter(int id, const std::string& text) { texts_[id] = text; }
    // The id of an equal text, else the text under the next id below the lowest in use.
    int registerText(const std::string& text);
    // Null when the id has no text.
    [[nodiscard]] const std::string* find(int id) const;

private:
    std::map<int, std::string> texts_;
};

}  // namespace QN
