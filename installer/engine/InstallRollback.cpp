#include "installer/engine/InstallRollback.h"

#include "platform/win/Journal.h"

void TInstallRollback::Begin() { win::BeginJournal(); }

bool TInstallRollback::Active() const { return win::JournalOpen(); }

std::vector<rtl::AnsiString> TInstallRollback::Undo()
{
    std::vector<rtl::AnsiString> left;
    for (const std::string& line : win::UndoJournal())
        left.push_back(line);
    return left;
}

void TInstallRollback::Commit() { win::CommitJournal(); }

TInstallRollback& InstallRollback()
{
    static TInstallRollback rollback;
    return rollback;
}
