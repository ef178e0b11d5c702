#pragma once
// The uninstaller, "uninstall.exe": given the product name as the setup's UninstallString passes it, it
// removes what the product's uninstall records list and nothing else: it lowers the shared-library counters
// the product raised (a library others still count stays), removes the installed files and links,
// unregisters and removes self-registering files, deletes the registry values the setup wrote and puts
// back the ones it overwrote, then removes the folders and keys that were left empty (keys no higher than
// the setup created them). What cannot be removed stays in the records, and so does the product's key, so
// that a later run finishes the work; when nothing stayed, the key goes with all its records.
//
//   TUninstallReport report;
//   if (!RunUninstall("Scrivane", report)) ...        // the product has no key
//   ... report.Failed, shown to the user ...
//   StartCleanupBatch(report);                         // last thing before the program ends

#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

struct TUninstallReport {
    std::vector<std::string> Removed;  // files, values and keys, as "file C:\...", "value HKEY...\key\name"
    std::vector<std::string> Kept;     // what stays on purpose: libraries other programs still count on
    std::vector<std::string> Failed;   // what stayed although a record named it, each a sentence
    // The batch that removes the uninstaller and its folder once it has ended; empty when none was written
    // (something stayed, or the running program is not the product's uninstaller). It is written before
    // the product's key goes; when it cannot be, that is a failure and the key stays for the next run.
    rtl::AnsiString CleanupBatch;
    // Files in use by a running program: they stay in the records, and a silent run of the uninstaller
    // at the next start of Windows takes them and the rest.
    std::vector<std::string> InUse;
    bool RerunAtRestart = false;
};

// False when the product has no key (nothing is touched then).
bool RunUninstall(const rtl::AnsiString& productName, TUninstallReport& report);

// What to tell the user when something stayed: each item, and that another run removes them.
std::string StayedMessage(const TUninstallReport& report);

// Starts the report's clean-up batch hidden, without waiting for it; nothing when there is none. False
// when it could not be started.
bool StartCleanupBatch(const TUninstallReport& report);

// The command line of the program: "[/S] product". Unknown switches and a missing product are refused.
struct TUninstallArguments {
    bool Silent = false;
    rtl::AnsiString ProductName;
};
bool ParseUninstallArguments(const std::vector<std::string>& arguments, TUninstallArguments& parsed,
                             std::string& error);
