#pragma once
// Host file input and output for the layer's own files in the prefix (settings, attribute table,
// pending moves), which are not Windows files and never go through the handle table.

#include <optional>
#include <string>
#include <vector>

namespace win {

// The whole file, or nothing when it does not exist; raises rtl::Exception when it cannot be read.
std::optional<std::string> ReadHostFile(const std::string& path);
// Writes a temporary file beside `path` and renames it over `path`, so readers see the old or the new
// content, never a part. Raises rtl::Exception (and leaves `path` as it was) on any failure.
void WriteHostFileAtomically(const std::string& path, const std::string& content);

// The lines of a text without their ends (LF or CR LF); a last line without an end counts too.
std::vector<std::string> SplitLines(const std::string& text);

// Host errno as the Windows error code that the same failure gives on Windows.
unsigned WindowsErrorFromErrno(int error);

}  // namespace win
