#include "platform/win/KnownFolders.h"

#include <cstdlib>

namespace win {

std::string CurrentUserName()
{
    const char* user = std::getenv("USER");
    if (!user || !*user)
        return "User";
    // A backslash or slash would split the profile folder into two levels.
    std::string name;
    for (const char* p = user; *p; ++p)
        name += (*p == '\\' || *p == '/' || *p == ':') ? '_' : *p;
    return name;
}

namespace {
const char* const ProfilesFolder = "C:\\Documents and Settings";
}

std::string UserProfileFolder() { return std::string(ProfilesFolder) + "\\" + CurrentUserName(); }

std::string TempFolder() { return UserProfileFolder() + "\\Local Settings\\Temp"; }

std::vector<TKnownFolder> ShellFolders()
{
    const std::string user = UserProfileFolder();
    const std::string startMenu = user + "\\Start Menu";
    const std::string programs = startMenu + "\\Programs";
    const std::string all = std::string(ProfilesFolder) + "\\All Users";
    const std::string allStartMenu = all + "\\Start Menu";
    const std::string allPrograms = allStartMenu + "\\Programs";
    return {
        {"Desktop", user + "\\Desktop", false},
        {"Start Menu", startMenu, false},
        {"Programs", programs, false},
        {"Startup", programs + "\\Startup", false},
        {"Personal", user + "\\My Documents", false},
        {"AppData", user + "\\Application Data", false},
        {"Local AppData", user + "\\Local Settings\\Application Data", false},
        {"Favorites", user + "\\Favorites", false},
        {"SendTo", user + "\\SendTo", false},
        {"Templates", user + "\\Templates", false},
        {"Recent", user + "\\Recent", false},
        {"NetHood", user + "\\NetHood", false},
        {"PrintHood", user + "\\PrintHood", false},
        {"Cookies", user + "\\Cookies", false},
        {"History", user + "\\Local Settings\\History", false},
        {"Cache", user + "\\Local Settings\\Temporary Internet Files", false},
        {"Fonts", std::string(WindowsFolder) + "\\Fonts", false},
        {"Common Desktop", all + "\\Desktop", true},
        {"Common Start Menu", allStartMenu, true},
        {"Common Programs", allPrograms, true},
        {"Common Startup", allPrograms + "\\Startup", true},
        {"Common Documents", all + "\\Documents", true},
        {"Common AppData", all + "\\Application Data", true},
        {"Common Favorites", all + "\\Favorites", true},
        {"Common Templates", all + "\\Templates", true},
    };
}

}  // namespace win
