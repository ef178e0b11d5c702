#pragma once
// The case-insensitive look-up of a name in a host folder, for the path layer (Paths.h).
//
// A folder is read once into an index (upper-cased Windows name -> host names) and then kept true by the
// host's own change notices for that folder, whoever makes the change: this process, another process of
// ours, or anything else on the host. So a look-up costs O(1) however many files the folder holds, and a
// file made in another case a moment ago is still found. A few folders are indexed at a time, the least
// recently used dropped. Where the host gives no notices, every look-up reads the folder.

#include <optional>
#include <string>

namespace win {

// The entry of `hostFolder` ("" is the host root) whose Windows name equals `name` (Windows spelling)
// without regard to case; the first in byte order when several do, so the choice does not depend on the
// directory's order. Nothing when there is none or the folder cannot be read.
std::optional<std::string> FindWithoutCase(const std::string& hostFolder, const std::string& name);

}  // namespace win
