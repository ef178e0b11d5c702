// uninstall: removes an installed product by its uninstall records. "uninstall [/S] product": with /S it
// asks nothing and reports on the standard streams; otherwise it asks first and shows the outcome.
// Exits 0 when everything recorded is gone, 1 when something stayed (it is named, and a later run removes
// it), 2 for a bad command line or an unknown product, 3 when the user declined. When everything is gone
// and this is the product's own uninstaller, a batch removes it and its folder after the end.
#include <cstdio>

#include "installer/uninstall/Uninstaller.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"

namespace {

void Tell(bool silent, const std::string& text, vcl::TMsgDlgType type)
{
    if (silent)
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        vcl::MessageDlg(text, type, {vcl::mbOK}, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    TUninstallArguments arguments;
    std::string error;
    const bool parsed = ParseUninstallArguments(std::vector<std::string>(argv + 1, argv + argc), arguments, error);
    const bool silent = parsed && arguments.Silent;
    if (!silent) {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Uninstall");
    }
    if (!parsed) {
        Tell(silent, error, vcl::mtError);
        return 2;
    }
    if (!silent && vcl::MessageDlg("Are you sure you want to remove " + arguments.ProductName + " and all of its components?",
                                   vcl::mtConfirmation, {vcl::mbYes, vcl::mbNo}, 0) != vcl::mrYes)
        return 3;

    TUninstallReport report;
    if (!RunUninstall(arguments.ProductName, report)) {
        Tell(silent, arguments.ProductName + " is not installed.", vcl::mtError);
        return 2;
    }
    if (silent) {
        for (const std::string& line : report.Removed)
            std::printf("removed %s\n", line.c_str());
        for (const std::string& line : report.Kept)
            std::printf("kept %s\n", line.c_str());
    }
    if (!report.Failed.empty()) {
        Tell(silent, StayedMessage(report), vcl::mtWarning);
        return 1;
    }
    if (!silent)
        Tell(silent, arguments.ProductName + " was removed.", vcl::mtInformation);
    std::fflush(stdout);
    // Last: the batch removes this program's own file once it has ended.
    if (!StartCleanupBatch(report)) {
        Tell(silent, "The uninstaller could not remove itself: " + report.CleanupBatch + " did not start.",
             vcl::mtWarning);
        return 1;
    }
    return 0;
}
