#pragma once

#include <string>

namespace platform {

// The font file to use for a font name from a layout ("tahoma.ttf"). A name that
// is the path of a readable regular file is used as it is; otherwise the file name's stem is matched
// as a family by the system's font configuration, which substitutes an installed
// font (DejaVu Sans when nothing closer exists). Empty when nothing is found, and
// always for a name that is not a path when the font configuration library
// (libfontconfig.so.1, opened at run time) is missing or LUMENFOLD_WITHOUT_FONTCONFIG
// is 1: the editor then draws with its built-in font.
// Called on: any thread.
std::string locateFontFile(const std::string& name);

}  // namespace platform
