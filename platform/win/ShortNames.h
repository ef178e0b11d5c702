#pragma once
// 8.3 aliases of long names ("Program Files" -> "PROGRA~1"), for the path layer.
//
// A name that fits 8.3 (at most 8 characters, a dot and at most 3 more, no blanks or characters 8.3 names
// exclude) is its own short name. Every other entry of a folder gets an alias the first time any alias of
// that folder is asked for: all of the folder's long names without one, in name order, take the first free
// basis~n of their upper-cased, cleaned name, so an alias never equals another alias or a name of its
// folder. An alias is kept in <prefix>/shortnames.txt for as long as its entry exists under that name, so
// every process of the prefix sees the same one (a batch file run later finds what the installer wrote).
// When an entry is gone its alias still leads to its long name, so a file erased through its alias and
// made again through it keeps its long name, until another long name of the folder takes the alias.

#include <optional>
#include <string>

namespace win {

// `name` in Windows spelling.
bool FitsShortName(const std::string& name);
// The alias `name` would get as the n-th of its basis: "Program Files", 1 -> "PROGRA~1".
std::string ShortNameCandidate(const std::string& name, int n);

// The short name of the existing entry `hostName` (host spelling) of the host folder: its alias, or its
// Windows name when that fits 8.3 already.
std::string ShortNameOf(const std::string& hostFolder, const std::string& hostName);
// The host name of the entry of `hostFolder` whose alias is `alias` (any case), or nothing; the entry may be
// one that is gone.
std::optional<std::string> HostNameOfAlias(const std::string& hostFolder, const std::string& alias);

}  // namespace win
