#include "editor/toolkit/HoverTextTable.h"

namespace QN {

int HoverTextTable::registerText(const std::string& text)
{
    for (const auto& [id, stored] : texts_) {
        if (stored == text) return id;
    }
    const int id = texts_.empty() ? -2 : texts_.begin()->first - 1;
    texts_[id] = text;
    return id;
}

const std::string* HoverTextTable::find(int id) const
{
    auto it = texts_.find(id);
    return it == texts_.end() ? nullptr : &it->second;
}

}  // namespace QN
