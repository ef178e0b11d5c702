#pragma once
// The version-check window: it asks the maker's web server for the newest version and shows whether this
// one is the newest, with the release notes. The main window creates it, shows it modally and frees it;
// the window runs its check itself each time it is activated.
//
//   std::unique_ptr<TfrmCheckForNewVersions> check(new TfrmCheckForNewVersions(vcl::Application));
//   check->RunningVersion = GetFileVersionString;   // this library sits below the tool, which knows it
//   check->ShowModal();

#include <functional>

#include "net/HttpClient.h"
#include "platform/rtl/Classes.h"

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

// The version file: its first line is the newest version, every further line a line of release notes.
inline constexpr const char* ScrivaneVersionFileAddress = "http://www.example.com/products/applications/scrivane/version.txt";
// The product's home page.
inline constexpr const char* ScrivaneHomePageAddress = "http://www.example.com/products/applications/scrivane/index.shtml";

class TfrmCheckForNewVersions : public vcl::TForm {
    VCL_CLASS(TfrmCheckForNewVersions, vcl::TForm)
public:
    explicit TfrmCheckForNewVersions(vcl::TComponent* owner);

    vcl::TPanel* Panel1 = nullptr;
    vcl::TLabel* Label1 = nullptr;
    vcl::TLabel* lblStatus = nullptr;
    vcl::TMemo* mmoVersionNotes = nullptr;
    vcl::TPanel* Panel2 = nullptr;
    vcl::TLabel* Label2 = nullptr;
    net::THttpClient* HTTPGetVersion = nullptr;

    // The running program's version string, compared with the server's first line.
    std::function<rtl::AnsiString()> RunningVersion;

    void FormActivate(vcl::TObject* Sender);
    // Fetches the version file and shows the outcome in lblStatus and the memo.
    void CheckForVersions();
    // Appends the stream's bytes to `list`, one entry per line (CR, LF or CR LF).
    static void SplitBodyLines(rtl::TStrings& list, rtl::TMemoryStream& stream);
    // Shows the version file's verdict in lblStatus and the memo: `lines` as split, the first one the
    // newest version. The memo is filled in one update, so a long file costs in proportion to its length.
    void ShowVersionFile(const rtl::TStrings& lines);
    // Opens the product's home page in the desktop's browser.
    void Label2Click(vcl::TObject* Sender);
    // A close asked for while the check waits ends the check at once, then closes as usual.
    void CloseRequestedByUser() override;

private:
    void ShowError();
    bool checking_ = false;  // a check is waiting; activating the window again must not start another
};

// Registers the window's class and resource; idempotent.
void RegisterCheckForNewVersions();
