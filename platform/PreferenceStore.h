#pragma once

#include <optional>
#include <string>

namespace platform {

// Per-user preferences that outlive every instance and every run of the host.
//
// File: $XDG_CONFIG_HOME (else $HOME/.config) + "/Corvanne/com.corvanne.lumenfold.conf",
// one "name=value" line per value, numbers in decimal ASCII whatever the locale.
// Reading creates nothing but the "Corvanne" folder; the first write creates the
// file. Every write rewrites the whole file into a temporary file beside it and
// renames that over the old one while holding an advisory lock on
// "com.corvanne.lumenfold.conf.lock", so two processes never lose each other's
// values and a reader never sees a half-written file.
//
// There is no cache: every call reads the file. Only a regular file of at most
// 64 KB is read, without ever blocking: anything else in its place (a FIFO, a
// device, a folder, a larger file) gives the defaults with one "Error:" line, and
// writes leave it alone. Other failures are silent: a read gives the default (or
// nothing), a failed write leaves the file as it was.
// Called on: host threads (plug-in start, editor opening, the preferences
// panel); never on the audio or render thread.

// The stored value, or defaultValue when it is missing, not a decimal number,
// or outside the 32-bit range.
int readPreferenceInt(const std::string& name, int defaultValue);

void writePreferenceInt(const std::string& name, int value);

// The stored text cut to at most 255 bytes (never inside a UTF-8 character),
// or nothing when the value is missing.
std::optional<std::string> readPreferenceString(const std::string& name);

// Names containing '=' or a line break and values containing a line break
// cannot be stored; such writes are ignored.
void writePreferenceString(const std::string& name, const std::string& value);

// Full path of the preference file; empty when neither XDG_CONFIG_HOME nor a
// home folder is known, in which case nothing is stored.
std::string preferenceFilePath();

}  // namespace platform
