#include "engine/osc/OscAccessPreferences.h"

#include "platform/PreferenceStore.h"

#include <atomic>

namespace QN {

namespace {

std::atomic<bool> replyToAnyHostOn{false};
std::atomic<bool> allowRemoteScriptsOn{false};

}  // namespace

void OscAccessPreferences::load()
{
    setReplyToAnyHost(platform::readPreferenceInt(kReplyToAnyHost, 0) != 0);
    setAllowRemoteScripts(platform::readPreferenceInt(kAllowRemoteScripts, 0) != 0);
}

bool OscAccessPreferences::replyToAnyHost() { return replyToAnyHostOn.load(std::memory_order_acquire); }

bool OscAccessPreferences::allowRemoteScripts() { return allowRemoteScriptsOn.load(std::memory_order_acquire); }

void OscAccessPreferences::setReplyToAnyHost(bool on) { replyToAnyHostOn.store(on, std::memory_order_release); }

void OscAccessPreferences::setAllowRemoteScripts(bool on)
{
    allowRemoteScriptsOn.store(on, std::memory_order_release);
}

}  // namespace QN
