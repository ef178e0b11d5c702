#pragma once
// Pages for the help-build tests: a page list that owns its pages, and page text as the editor writes it.

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/richedit/RichDocument.h"
#include "platform/richedit/RtfWriter.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tool/AboutUnit.h"
#include "tool/MainUnit.h"
#include "tool/ProgressUnit.h"
#include "tool/ProjectModel.h"

class TTestPages {
public:
    TTestPages() { List.SetOwnsObjects(true); }

    TPageObject& Add(const AnsiString& name, const AnsiString& topicId = "")
    {
        auto* page = new TPageObject;
        page->Name = name;
        page->TopicID = topicId;
        List.AddObject(name, page);
        return *page;
    }

    rtl::TStringList List;
};

inline TLinkObject& AddLink(TPageObject& page, const AnsiString& name, int32_t type, const AnsiString& target,
                            const AnsiString& text, bool popup = false)
{
    auto* link = new TLinkObject;
    link->Name = name;
    link->LinkType = type;
    link->Target = target;
    link->Text = text;
    link->Popup = popup;
    page.Links.AddObject(name, link);
    return *link;
}

// The tool's progress windows still alive (they belong to the application).
inline int ProgressWindowsAlive()
{
    int count = 0;
    for (int i = 0; i < vcl::Application->ComponentCount(); ++i)
        count += dynamic_cast<TfrmProgress*>(vcl::Application->Components(i)) != nullptr;
    return count;
}

inline void SetLines(rtl::TStrings& lines, std::initializer_list<AnsiString> texts)
{
    lines.Clear();
    for (const AnsiString& text : texts)
        lines.Add(text);
}

// A hand-written page text in the editor's shape: Arial, the marker green, then `body` after "\pard".
inline void SetBody(rtl::TStrings& lines, const AnsiString& body)
{
    SetLines(lines, {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}",
                     "{\\colortbl ;\\red0\\green128\\blue0;}", "\\pard" + body, "}"});
}

// How the editor shows a marker (green, underlined, protected) and the protected blank behind it.
inline richedit::TCharAttributes MarkerLook(const richedit::TCharAttributes& plain)
{
    richedit::TCharAttributes look = plain;
    look.Color = 32768;
    look.Underline = true;
    look.Protected = true;
    return look;
}
inline richedit::TCharAttributes MarkerBlank(const richedit::TCharAttributes& plain)
{
    richedit::TCharAttributes look = plain;
    look.Protected = true;
    return look;
}

// "See ", a link marker for `link`, " now." as the editor stores it, written by the real writer.
inline void SetTextWithMarker(rtl::TStrings& lines, const AnsiString& marker, const AnsiString& face = "Arial")
{
    richedit::TCharAttributes plain;
    plain.Face = face;
    const richedit::TCharAttributes markerLook = MarkerLook(plain);
    const richedit::TCharAttributes blank = MarkerBlank(plain);
    richedit::TRichDocument document;
    document.AppendText("See ", plain);
    document.AppendText(marker, markerLook);
    document.AppendText(" ", blank);
    document.AppendText("now.", plain);
    lines.Clear();
    for (const AnsiString& line : richedit::WriteRtfLines(document))
        lines.Add(line);
}

// A stand-in help compiler in `programFolder`\Tools: it records its arguments, one a line.
inline void InstallStandInCompiler(const AnsiString& programFolder)
{
    const std::string host = win::HostPathFromWindows(programFolder).value_or("") + "/Tools/hcrtf.exe";
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    rtl::WriteWholeFile(programFolder + "\\Tools\\hcrtf.exe",
                        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                        "mv \"$0.tmp\" \"$0.args\"\n");
    ::chmod(host.c_str(), 0755);
}

// The arguments the stand-in compiler recorded; it runs detached, so wait for them a while.
inline AnsiString RecordedCompilerArguments(const AnsiString& programFolder)
{
    const AnsiString args = programFolder + "\\Tools\\hcrtf.exe.args";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!rtl::FileExists(args) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return rtl::FileExists(args) ? rtl::ReadWholeFile(args) : AnsiString("(compiler not run)");
}

// The texts of the message boxes shown so far, in order.
inline std::vector<AnsiString> MessageTexts()
{
    std::vector<AnsiString> texts;
    for (const vcl::test::TShownMessage& shown : vcl::test::Messages())
        texts.push_back(shown.Text);
    return texts;
}

// The host path of a Windows path ("" when it has none).
inline std::string HostPathOf(const AnsiString& windowsPath)
{
    return win::HostPathFromWindows(windowsPath).value_or("");
}

// A program started from a folder of its own, "C:\Program Files\Scrivane <label> <n>", where its config.ini
// and a stand-in compiler live; no project on its command line and a fresh project state. Gives the folder.
inline AnsiString StartProgramIn(const AnsiString& label)
{
    static int run = 0;
    const AnsiString folder = "C:\\Program Files\\Scrivane " + (label.empty() ? "" : label + " ") + rtl::IntToStr(++run);
    std::filesystem::create_directories(HostPathOf(folder));
    win::SetProgramPath(folder + "\\Scrivane.exe");
    const char* const argv[] = {"Scrivane"};
    win::SetCommandLine(1, argv);
    ProjectState() = TProjectState();
    return folder;
}

// The main window as the program body makes it: the About window comes first and is answered with OK.
inline std::unique_ptr<TfrmMainMenu> OpenMainWindow()
{
    vcl::test::OnNextModal<TfrmAbout>([](TfrmAbout& about) { vcl::test::Click(*about.btnOK); });
    return std::unique_ptr<TfrmMainMenu>(new TfrmMainMenu(vcl::Application));
}
