#pragma once

#include <string>

namespace platform {

// Reports a fatal start-up or GL set-up problem to the user. A plug-in must not
// open a modal window inside the host, so the text goes to standard error as the
// single line "Error: <text>", written with one write so that lines from several
// threads or instances do not interleave.
// Called on: any thread.
void showError(const std::string& text);

// Destination of the scripts' print: standard error, unbuffered, text as given.
// Called on: any thread that runs Lua.
void writeDebugOutput(const char* text);

}  // namespace platform
