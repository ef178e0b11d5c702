#pragma once
// What an install run changed, noted as it goes, so that a bad ending can put the machine back as it was:
// the files it wrote (a file that was there is copied aside first and put back), the folders and registry
// keys it created, the registry values it wrote (with how they were before), and the product's uninstall
// key as it stood when the run began. A good ending commits: the copies go and nothing is undone.
//
//   TInstallRollback& rollback = InstallRollback();
//   rollback.Begin(uninstallKey);              // the run starts installing
//   rollback.CreateFolders(folder);            // instead of CreateFolderAndParents
//   rollback.BeforeFileWrite(path);            // before a file or link is written at path
//   rollback.BeforeValueWrite(root, key, name);
//   rollback.Undo();  or  rollback.Commit();
//
// While no run is under way every call but Begin does nothing, so components used on their own (tests,
// the build) keep no journal.

#include <functional>
#include <set>
#include <vector>

#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/SysUtils.h"

class TInstallRollback {
public:
    // Starts a journal; `uninstallKey` (under HKEY_LOCAL_MACHINE) is kept as it is now. An earlier
    // journal is committed first.
    void Begin(const rtl::AnsiString& uninstallKey);
    bool Active() const { return active_; }

    // Creates a folder and its missing parents, noting each one made.
    void CreateFolders(const rtl::AnsiString& folder);
    // Before a file is written at `path`: an existing file is copied aside (with its attributes) to be put
    // back; a new one is deleted on undo. Only the first write of a path in a run is noted.
    void BeforeFileWrite(const rtl::AnsiString& path);
    // Before a registry value is written: the keys the write will create, and the value as it is.
    void BeforeValueWrite(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name);

    // Puts back everything noted, newest first, and ends the journal. Steps that fail are passed over, so
    // one file that cannot be put back leaves the others undone all the same.
    void Undo();
    // Keeps the run's changes and ends the journal.
    void Commit();

private:
    void Note(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
    void DropCopies();

    bool active_ = false;
    std::vector<std::function<void()>> undo_;
    std::vector<rtl::AnsiString> copies_;   // files copied aside, deleted when the journal ends
    // What the run noted already, upper-cased ("root|key|name" for values): only a first write is noted.
    std::set<rtl::AnsiString> written_;
    std::set<rtl::AnsiString> values_;
};

// The one journal of the process (one install run at a time).
TInstallRollback& InstallRollback();
