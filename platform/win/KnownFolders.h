#pragma once
// The folders of a fresh Windows installation in a new prefix. The folder tree made on the drive and the
// registry values that point at it are both written from these, so they always agree.

#include <string>
#include <vector>

namespace win {

struct TKnownFolder {
    std::string RegistryValue;  // value name under the "Shell Folders" key (empty: not a shell folder)
    std::string Path;           // Windows path
    bool Common;                // all users (local machine) rather than the current user
};

// The current user's name: $USER of the host, "User" when unset.
std::string CurrentUserName();

inline const char* const WindowsFolder = "C:\\WINDOWS";
inline const char* const SystemFolder = "C:\\WINDOWS\\system32";
inline const char* const ProgramFilesFolder = "C:\\Program Files";
inline const char* const CommonFilesFolder = "C:\\Program Files\\Common Files";

// "C:\Documents and Settings\<user>"
std::string UserProfileFolder();
// "C:\Documents and Settings\<user>\Local Settings\Temp"
std::string TempFolder();
// The shell folders of the current user and of all users, with their "Shell Folders" value names.
std::vector<TKnownFolder> ShellFolders();

}  // namespace win
