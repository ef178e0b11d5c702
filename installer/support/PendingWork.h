#pragma once
// What a setup run leaves for the next start of Windows, found again by a later run or by the product's
// uninstaller so that they can take it back: the run's key with its temporary copy's path, the delayed
// moves of its numbered files, and its RunOnce commands.
//
//   for (const AnsiString& source : TakeBackDelayedMoves(isOurTarget)) ...   // deleted and dropped
//   RemoveRunOnceNaming("\"" + copy + "\"");
//   if (InsideTempFolder(copy)) RemoveFolderAndFiles(ExtractFileDir(copy));

#include <functional>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/Files.h"

// Under HKEY_LOCAL_MACHINE: one subkey a setup run that has not ended well yet (its "Path" the program's
// copy, "Unfinished" its work after the restart).
inline const char* const SetupRunsKey = "\\SOFTWARE\\ULO\\Install";
// Value of a run's key written when it waits for a restart: the key of the product it installed, so that
// the product's uninstaller finds the run.
inline const char* const SetupRunProductValue = "UninstallKey";
// Value of a run's key: the keys above it that the run made, innermost first, separated by ';'. They go
// with the run's key once empty; keys that were there before the run stay.
inline const char* const SetupRunMadeKeysValue = "MadeKeys";

// Strictly inside the current user's temporary folder, any spelling of either compared as the folder.
bool InsideTempFolder(const rtl::AnsiString& path);
// The full path with every name spelled as its folder spells it, while it exists, without a closing
// backslash (the path itself when it cannot be made): a short and a long spelling compare alike.
rtl::AnsiString CanonicalPath(const rtl::AnsiString& path);
// Deletes the files of a folder (not its subfolders), then the folder; false when the folder stayed.
bool RemoveFolderAndFiles(const rtl::AnsiString& folder);
// Each recorded delayed move that `ours` accepts: its source file is deleted and the move dropped. Gives
// the sources deleted.
std::vector<rtl::AnsiString> TakeBackDelayedMoves(const std::function<bool(const win::TPendingMove&)>& ours);
// Deletes the RunOnce values of the local machine and of the current user whose command holds `text`,
// case ignored. Gives how many went.
int RemoveRunOnceNaming(const rtl::AnsiString& text);
