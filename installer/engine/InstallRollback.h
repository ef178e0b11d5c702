#pragma once
// The run's side of the platform's change journal (platform/win/Journal.h): from the start of an install
// run every change it makes to the files and the registry is noted by the layer that makes it, and a bad
// ending takes exactly those back, newest first.
//
//   TInstallRollback& rollback = InstallRollback();
//   rollback.Begin();      // the run starts; its registry changes are written at its end
//   rollback.Undo();       // a bad ending: returns what could not be put back
//   if (rollback.WriteRegistry() != ERROR_SUCCESS) ...   // the run failed: Undo
//   rollback.Commit();     // the run is complete: nothing of it is taken back any more

#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/WinError.h"

class TInstallRollback {
public:
    void Begin();
    bool Active() const;
    // Puts back everything noted and ends the journal; one line per change that could not be put back.
    std::vector<rtl::AnsiString> Undo();
    // Writes the registry files the run changed; an error means the run cannot be completed.
    win::LONG WriteRegistry();
    void Commit();

private:
    bool batchOpen_ = false;
};

// The one journal of the process (one install run at a time).
TInstallRollback& InstallRollback();
