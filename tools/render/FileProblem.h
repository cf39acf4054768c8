#pragma once
// Plain words for why a file could not be used, so that every error line names the file
// and the reason without library jargon.

#include <string>

namespace lfrender {

// "it does not exist", "it is a folder, not a file", "permission denied", ... for an errno
// value met while opening, reading or writing a file.
[[nodiscard]] std::string describeFileProblem(int errorNumber);

// Throws RenderError("cannot read <what> <path>: <reason>") unless path names a readable
// regular file.
void requireReadableFile(const std::string& path, const std::string& what);

}  // namespace lfrender
