#include "engine/osc/ScriptPathTable.h"

namespace QN {

bool ScriptPathTable::addParameterEntry(const std::string& path, Bindings bindings)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto first = parameterPaths_.find(path);
    if (first != parameterPaths_.end() && first->second.size() != bindings.size()) {
        return false;
    }
    parameterPaths_.emplace(path, std::move(bindings));
    return true;
}

void ScriptPathTable::addFunction(const std::string& path, int functionRef)
{
    std::lock_guard<std::mutex> lock(mutex_);
    functionPaths_.emplace(path, functionRef);
}

std::vector<ScriptPathTable::Bindings> ScriptPathTable::parameterEntries(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Bindings> copies;
    const auto [first, last] = parameterPaths_.equal_range(path);
    for (auto it = first; it != last; ++it) {
        copies.push_back(it->second);
    }
    return copies;
}

std::vector<int> ScriptPathTable::functions(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> refs;
    const auto [first, last] = functionPaths_.equal_range(path);
    for (auto it = first; it != last; ++it) {
        refs.push_back(it->second);
    }
    return refs;
}

bool ScriptPathTable::hasFunctions(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return functionPaths_.count(path) != 0;
}

}  // namespace QN
