#pragma once
// The uninstaller, "uninstall.exe": given the product name as the setup's UninstallString passes it, it
// removes what the product's uninstall records list (installed files and links, self-registering files,
// registry values and keys), the folders and keys that were left empty by that, and then the product's
// key with the records themselves. It leaves itself and what no record names.
//
//   TUninstallReport report;
//   if (!RunUninstall("Scrivane", report)) ...   // the product has no key

#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

struct TUninstallReport {
    std::vector<std::string> Removed;  // files, values and keys, as "file C:\...", "value HKEY...\key\name"
    std::vector<std::string> Failed;   // what stayed although a record named it, with the reason
};

// False when the product has no key (nothing is touched then).
bool RunUninstall(const rtl::AnsiString& productName, TUninstallReport& report);

// The command line of the program: "[/S] product". Unknown switches and a missing product are refused.
struct TUninstallArguments {
    bool Silent = false;
    rtl::AnsiString ProductName;
};
bool ParseUninstallArguments(const std::vector<std::string>& arguments, TUninstallArguments& parsed,
                             std::string& error);
