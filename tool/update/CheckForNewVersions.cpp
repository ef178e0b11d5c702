#include "tool/update/CheckForNewVersions.h"

#include <vector>

#include "FormResources_tool_update.h"
#include "platform/win/Shell.h"

VCL_IMPLEMENT_CLASS(TfrmCheckForNewVersions)

void TfrmCheckForNewVersions::RegisterProperties(vcl::TClassDef<TfrmCheckForNewVersions>& def)
{
    def.Handler("FormActivate", &TfrmCheckForNewVersions::FormActivate);
    def.Handler("Label2Click", &TfrmCheckForNewVersions::Label2Click);
}

void RegisterCheckForNewVersions()
{
    RegisterFormResources_tool_update();
    vcl::RegisterClass<TfrmCheckForNewVersions>();
}

TfrmCheckForNewVersions::TfrmCheckForNewVersions(vcl::TComponent* owner) : TForm(owner)
{
    RegisterCheckForNewVersions();
    LoadForm("CheckForNewVersions.frm");
    Panel1 = FindChild<vcl::TPanel>("Panel1");
    Label1 = FindChild<vcl::TLabel>("Label1");
    lblStatus = FindChild<vcl::TLabel>("lblStatus");
    mmoVersionNotes = FindChild<vcl::TMemo>("mmoVersionNotes");
    Panel2 = FindChild<vcl::TPanel>("Panel2");
    Label2 = FindChild<vcl::TLabel>("Label2");
    HTTPGetVersion = new net::THttpClient(this);
    HTTPGetVersion->SetLocalAddr("0.0.0.0");
    HTTPGetVersion->SetProxyPort("80");
    HTTPGetVersion->SetAgent("Mozilla/3.0 (compatible)");
    HTTPGetVersion->SetAccept("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    HTTPGetVersion->SetNoCache(false);
    HTTPGetVersion->SetContentTypePost("application/x-www-form-urlencoded");
    HTTPGetVersion->SetMultiThreaded(false);
}

void TfrmCheckForNewVersions::FormActivate(vcl::TObject*)
{
    CheckForVersions();
}

void TfrmCheckForNewVersions::SplitBodyLines(rtl::TStrings& list, rtl::TMemoryStream& stream)
{
    const char* data = reinterpret_cast<const char*>(stream.Memory());
    const size_t size = static_cast<size_t>(stream.Size());
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        const size_t nul = rtl::AnsiString(data + start, end - start).find('\0');
        list.Add(rtl::AnsiString(data + start, nul == rtl::AnsiString::npos ? end - start : nul));
        if (end < size && data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

void TfrmCheckForNewVersions::ShowError()
{
    lblStatus->SetCaption("ERROR");
    mmoVersionNotes->Lines()->Clear();
    mmoVersionNotes->Lines()->Add("There was an error checking if a new version was available.  Please try again later.");
}

void TfrmCheckForNewVersions::CheckForVersions()
{
    if (checking_)
        return;
    checking_ = true;
    vcl::Application->ProcessMessages();  // paints the initial status first
    rtl::TStringList lines;
    try {
        rtl::TMemoryStream body;
        HTTPGetVersion->SetURL(ScrivaneVersionFileAddress);
        HTTPGetVersion->SetProxy("");
        HTTPGetVersion->SetProxyPort("80");
        HTTPGetVersion->ReceiveStream = &body;
        try {
            HTTPGetVersion->Get();
        } catch (...) {
            HTTPGetVersion->ReceiveStream = nullptr;
            throw;
        }
        HTTPGetVersion->ReceiveStream = nullptr;
        SplitBodyLines(lines, body);
    } catch (const std::exception&) {
        ShowError();
        checking_ = false;
        return;
    }
    // Without a first line there is nothing to compare.
    if (lines.Count() == 0) {
        ShowError();
        checking_ = false;
        return;
    }
    ShowVersionFile(lines);
    checking_ = false;
}

void TfrmCheckForNewVersions::ShowVersionFile(const rtl::TStrings& lines)
{
    const rtl::AnsiString newest = lines[0];
    const rtl::AnsiString running = RunningVersion ? RunningVersion() : rtl::AnsiString();
    std::vector<rtl::AnsiString> shown;
    if (newest == running) {
        lblStatus->SetCaption("No New Version Found");
        shown.push_back("You are currently using the most recent version of Scrivane.");
    } else {
        lblStatus->SetCaption("New Version Found");
        shown.reserve(static_cast<size_t>(lines.Count()) + 4);
        shown.push_back("There is a newer version of Scrivane available.");
        shown.push_back("You are currently running version: " + running);
        shown.push_back("The most current version is: " + newest);
        shown.push_back("");
        shown.push_back("Version Info:");
        for (int i = 1; i < lines.Count(); ++i)
            shown.push_back(lines[i]);
    }
    // Line by line, every addition would rejoin the whole text and reset the widget.
    rtl::TStrings& memo = *mmoVersionNotes->Lines();
    memo.BeginUpdate();
    try {
        memo.Clear();
        for (const rtl::AnsiString& line : shown)
            memo.Add(line);
    } catch (...) {
        memo.EndUpdate();
        throw;
    }
    memo.EndUpdate();
}

void TfrmCheckForNewVersions::CloseRequestedByUser()
{
    if (checking_)
        HTTPGetVersion->Abort();
    TForm::CloseRequestedByUser();
}

void TfrmCheckForNewVersions::Label2Click(vcl::TObject*)
{
    const rtl::AnsiString target = rtl::AnsiString("URL:") + ScrivaneHomePageAddress;
    win::ShellExecute(Handle(), "open", target.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL);
}
