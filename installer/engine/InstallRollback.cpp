#include "installer/engine/InstallRollback.h"

#include <string>

#include "platform/win/Journal.h"
#include "platform/win/Registry.h"

void TInstallRollback::Begin()
{
    if (batchOpen_)
        win::EndRegistryBatch();
    win::BeginJournal();
    // The whole run writes each registry file once, at its end, instead of once per change.
    win::BeginRegistryBatch();
    batchOpen_ = true;
}

bool TInstallRollback::Active() const { return win::JournalOpen(); }

std::vector<rtl::AnsiString> TInstallRollback::Undo()
{
    std::vector<rtl::AnsiString> left;
    for (const std::string& line : win::UndoJournal())
        left.push_back(line);
    if (batchOpen_) {
        batchOpen_ = false;
        win::LONG error = win::EndRegistryBatchTakenBack();
        // Tried once more, as every step of the undo is.
        if (error != win::ERROR_SUCCESS)
            error = win::WritePendingRegistry();
        if (error != win::ERROR_SUCCESS)
            left.push_back("the registry: it cannot be written (error " + std::to_string(error) + ")");
    }
    return left;
}

win::LONG TInstallRollback::WriteRegistry() { return batchOpen_ ? win::WritePendingRegistry() : win::ERROR_SUCCESS; }

void TInstallRollback::Commit()
{
    if (batchOpen_) {
        batchOpen_ = false;
        win::EndRegistryBatch();
    }
    win::CommitJournal();
}

TInstallRollback& InstallRollback()
{
    static TInstallRollback rollback;
    return rollback;
}
