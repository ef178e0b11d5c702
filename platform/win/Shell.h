#pragma once
// The shell's "open": ShellExecute hands a web address, a mail address or a document to the desktop's
// opener (xdg-open), started detached; the caller never waits for it.
//
//   win::ShellExecute(nullptr, "open", "URL:http://www.example.com/", nullptr, nullptr, win::SW_SHOWNORMAL);
//
// Every request is recorded (ShellRequests), so tests see what a program asked for. Nothing is started
// while launching is off: by SetShellLaunchAllowed(false) (the test driver does it), or by itself when
// there is no desktop to open into (neither DISPLAY nor WAYLAND_DISPLAY, or the offscreen platform). The
// checks of the request still run then and give their answers.
//
// What is not handled yet: starting programs (".exe", ".com", ".bat", ".pif" give SE_ERR_NOASSOC), and
// verbs other than "open" and "explore".

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace win {

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;

// ShellExecute's answers at or below 32 are errors.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_NOASSOC = 31;
// What a request that went through gives.
inline constexpr int SE_SUCCESS = 42;

struct TShellRequest {
    std::string Operation;  // as given; empty for null
    std::string File;
    std::string Parameters;
    std::string Directory;
    int ShowCommand = 0;
    int Result = 0;          // the value ShellExecute gave, as a number
    std::string Target;      // what went to the opener: the address, or the document's host path
    bool Started = false;    // the opener was started
};

// "URL:" (any case) followed by an address, or an address with a scheme of two letters or more
// ("http:", "mailto:"), goes to the opener as it stands after the prefix. Anything else is a Windows path:
// a document that must exist (SE_ERR_FNF / SE_ERR_PNF otherwise). A null or empty operation is "open".
// No opener on the PATH gives SE_ERR_NOASSOC. The answer is a value above 32 when the request went
// through (cast to HINSTANCE, as Windows has it).
// `owner` is the asking window's handle (the framework's HWND); the opener makes windows of its own.
HINSTANCE ShellExecute(const void* owner, const char* operation, const char* file, const char* parameters,
                       const char* directory, int showCommand);
// The same answer as a number.
int ShellExecuteResult(HINSTANCE result);

void SetShellLaunchAllowed(bool allowed);
// Allowed, and a desktop to open into.
bool ShellCanLaunch();

// Every request since the last clear (or ResetPlatform), oldest first.
std::vector<TShellRequest> ShellRequests();
void ClearShellRequests();

inline constexpr LONG SHCNE_ASSOCCHANGED = 0x08000000;
inline constexpr UINT SHCNF_IDLIST = 0x0000;
inline constexpr UINT SHCNF_FLUSH = 0x1000;
inline constexpr UINT SHCNF_FLUSHNOWAIT = 0x2000;

struct TShellChange {
    LONG EventId = 0;
    UINT Flags = 0;
};
// There is no shell to tell here: a change is recorded, in this process (ShellChanges) and as a line
// "<event hex> <flags hex>" in the prefix's "shell-changes", so that tests of programs run as processes see
// it too. The items are not kept.
void SHChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2);
std::vector<TShellChange> ShellChanges();

}  // namespace win
