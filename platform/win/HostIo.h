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

// Copies what is left to read of `in` to `out`; 0, or the errno of the first failure. `counted` names the
// target for the write-fault hook (WriteFaults.h), counted once as a handle's writes are; empty: not counted.
int CopyHostContents(int in, int out, std::string counted = {});

// The lines of a text without their ends (LF or CR LF); a last line without an end counts too.
std::vector<std::string> SplitLines(const std::string& text);

// Windows runs a file by its extension (".exe", ".com", ".bat", ".cmd", ".pif"); on the host a program also
// needs the execute bits. MarkRunnableByName gives them to such a regular file where it has read bits, so
// an installed "Scrivane.exe" starts like any other program; other files are left alone.
bool HasProgramExtension(const std::string& name);
void MarkRunnableByName(const std::string& host);

// Host errno as the Windows error code that the same failure gives on Windows.
unsigned WindowsErrorFromErrno(int error);

}  // namespace win
