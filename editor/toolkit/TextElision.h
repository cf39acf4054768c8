#pragma once

#include <string>

namespace QN {

class Font;

// Shortening a text that is wider than its place, with "..." for what is left out.
// Called on: any editor thread (they only measure).

// The text when it fits width, else its start and its end with "..." between them (a web
// address keeps its scheme and its last part).
[[nodiscard]] std::string elideMiddle(const Font& font, const std::string& text, float width);

// A text that starts with a file path and line ("/home/a/Scripts/x.lua:3: message", or Lua's
// own shortening "...me/a/Scripts/x.lua:3: ..."): a folder that was cut part-way becomes
// "...", then whole folders give way from the front while the text is wider than width,
// so that the file name and line stay. Any other text comes back as it is.
[[nodiscard]] std::string elideLeadingFolders(const Font& font, const std::string& text, float width);

}  // namespace QN
