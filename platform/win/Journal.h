#pragma once
// The journal of a run: while one is open, every change the layer makes inside the prefix (a file created,
// changed, replaced, moved or deleted, a folder made or removed, attributes, a registry key or value, a
// delayed move) notes first how things stood, so that the whole run can be taken back, newest first. A file
// that was there before is kept aside (a second name for a file about to be replaced or deleted, a copy of
// one about to change in place) until the journal ends. Only the first change of a path is noted.
//
//   win::BeginJournal();                 // an installation run starts
//   ... any number of changes through the layer ...
//   win::CommitJournal();                // keep them; the kept originals go
//   std::vector<std::string> left = win::UndoJournal();   // or put everything back
//
// With no journal open every note does nothing.

#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace win {

void BeginJournal();  // an open journal is committed first
bool JournalOpen();
void CommitJournal();
// Takes back every noted change, newest first, and ends the journal. A step that fails is tried once more;
// each that still fails gives a line "<what>: <why>" in the result. An original that cannot be put back
// in place is kept and moved back when Windows starts again (a delayed move), and its line says so.
std::vector<std::string> UndoJournal();

// For the layer's own services. `host` is a host path, `windows` the Windows path it was reached by.

// Before a file that may exist changes: replaced, deleted or moved away (`inPlace` false) or written in
// place (true). The first change of a file that was there before the run keeps it aside; false, with the
// last error set, when that fails, and then the change must not be made.
bool JournalBeforeFileChange(const std::string& host, const std::string& windows, bool inPlace);
// After a file or link was made where nothing was.
void JournalFileCreated(const std::string& host, const std::string& windows);
void JournalFolderCreated(const std::string& host, const std::string& windows);
void JournalFolderRemoved(const std::string& host, const std::string& windows, DWORD attributes);
void JournalFolderMoved(const std::string& fromHost, const std::string& toHost, const std::string& windows);
// Before the attributes of an existing file or folder change.
void JournalAttributesChanging(const std::string& host, const std::string& windows, DWORD attributes);
// Any other change (the registry, delayed moves): `undo` puts it back, or returns false with the reason.
void JournalStep(std::string what, std::function<bool(std::string& why)> undo);

}  // namespace win
