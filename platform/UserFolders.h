#pragma once

#include <string>
#include <vector>

// The user's folders for scripts and skins, under the user's application data.
// Called on: the host thread that builds an instance (scripts) and the host GUI
// thread (skins). Nothing here is cached: each call reads the environment.

// $XDG_DATA_HOME, else $HOME/.local/share, else empty. When it is empty the
// folders below are relative paths; that is not an error.
std::string applicationDataFolder();

// Application data + "/Corvanne/Lumenfold/Scripts/" (always ends with '/').
std::string scriptsFolder();

// Application data + "/Corvanne/Lumenfold/Presets/" (always ends with '/'): the user's
// preset files, which scripts and OSC peers may save and load by file name.
std::string presetsFolder();

// Application data + "/Corvanne/Lumenfold/Skins/" + name, as given.
std::string skinPath(const std::string& name);

// Appends scripts folder + file name for every "*.lua" file of the scripts
// folder that can be opened for reading, in byte order of the names. Adds
// nothing when the folder is missing.
void listScriptFiles(std::vector<std::string>& out);

// The skin's path if it is readable, else that path + ".bundle" if that is
// readable, else empty (the editor then uses its built-in layout). A name that
// could lead out of the skins folder (empty, ".", "..", or containing '/')
// always gives empty: the name comes from the preference file, which other
// programs can write.
std::string findSkin(const std::string& name);
