#pragma once
// Who may use the OSC server beyond reading and setting parameters: two per-user
// preferences, process-wide like "OSC Base Port" and off unless the user turns them on.
//  - "OSC Reply To Any Host": replies and update registrations may name any host. Off:
//    only the host the request came from, so a forged request cannot aim the instance's
//    answers at a third machine.
//  - "OSC Allow Remote Scripts": "/exec", "/call" and the addresses scripts bound to Lua
//    functions may be used by other machines. Off: only by programs on this machine, since
//    a Lua call can do anything the host process can.
// Read from the preference store when an instance starts and whenever the preferences
// panel changes one; requests read the values without a lock.

namespace QN {

class OscAccessPreferences {
public:
    static constexpr const char* kReplyToAnyHost = "OSC Reply To Any Host";
    static constexpr const char* kAllowRemoteScripts = "OSC Allow Remote Scripts";

    // Reads both from the preference store. Called on: host threads (instance start,
    // preferences panel); never on the audio thread (file I/O).
    static void load();

    // Called on: any thread.
    static bool replyToAnyHost();
    static bool allowRemoteScripts();
    // The process-wide values without storing them (the panel stores, then loads).
    static void setReplyToAnyHost(bool on);
    static void setAllowRemoteScripts(bool on);
};

}  // namespace QN
