#pragma once
// The OSC addresses scripts added: an address may drive parameters (each entry a list of
// bindings) or call Lua functions (registry references). Several entries may share one
// address; entries are never removed. Registration runs on whichever thread runs the
// script; the OSC thread looks up every message. One lock serialises both, and lookups
// return copies so that the OSC thread calls into the plug-in or Lua without the lock.

#include "engine/osc/ParameterBinding.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace QN {

class ScriptPathTable {
public:
    using Bindings = std::vector<ParameterBinding>;

    // Adds an entry unless the address already has entries of another length; false
    // (and nothing added) in that case.
    bool addParameterEntry(const std::string& path, Bindings bindings);
    void addFunction(const std::string& path, int functionRef);

    // Called on: OSC thread. Copies of the entries, in registration order.
    std::vector<Bindings> parameterEntries(const std::string& path) const;
    std::vector<int> functions(const std::string& path) const;
    bool hasFunctions(const std::string& path) const;

private:
    mutable std::mutex mutex_;
    std::multimap<std::string, Bindings> parameterPaths_;
    std::multimap<std::string, int> functionPaths_;
};

}  // namespace QN
