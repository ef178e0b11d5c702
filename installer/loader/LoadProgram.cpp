// The loading program of a distribution: the setup.exe that a user starts. It reads the trailer at its own
// end, unpacks setup.1 (the setup program and its companions) into a temporary folder and starts the setup
// program there with
//
//   -s<folder of setup.exe> -e<file name of setup.exe> -c
//
// (the distribution's folder, the self-extracting file that holds files.1, and the request to clean up
// the temporary copy afterwards). It waits for the setup program and ends with its exit code. Other
// arguments are passed on after these; "*TODISK", the floppy request users are told to give, becomes the
// setup's -f.
//
// A distribution that cannot be unpacked or started is said in a message box (a person who double-clicked
// setup.exe would see nothing on a console), the temporary folder goes again, and the exit code is 1.

#include <sys/stat.h>

#include <cstdio>

#include "installer/engine/Install.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkSystem.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"
#include "platform/win/SystemInfo.h"

using rtl::AnsiString;

namespace {

// Unpacks setup.1 from `self` into `folder`; the setup program's path (the archive's first entry).
AnsiString UnpackSetup(const AnsiString& self, const AnsiString& folder)
{
    const TSelfExtractTrailer trailer = TCustomInstall::ReadTrailer(self);
    if (trailer.Marker != "SELFEXTRACTING")
        throw rtl::Exception(rtl::Format("%s holds no setup program", self));
    TTrwkCompress archive(nullptr);
    archive.SetCompressedFile(self);
    archive.SetOffset(trailer.Setup1First);
    archive.SetExtractDirectory(folder);
    archive.SetOverwrite(owAlways);
    archive.LoadHeaders();
    if (archive.Count() == 0)
        throw rtl::Exception(rtl::Format("%s holds no setup program", self));
    rtl::TStringList entries;
    AnsiString program;
    for (int i = 0; i < archive.Count(); ++i) {
        TlzhFileStats stats;
        archive.GetFileInfo(i, stats);
        entries.Add(stats.FileName);
        if (i == 0)
            program = AddBackslash(folder) + rtl::ExtractFileName(stats.FileName);
    }
    archive.SetFilesToProcess(&entries);
    archive.Extract();
    // Archives keep no host permissions; the setup program must be runnable again.
    if (const auto host = win::HostPathFromWindows(program))
        ::chmod(host->c_str(), 0700);
    return program;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The folder with everything in it; what cannot be removed stays.
void RemoveFolder(const AnsiString& folder)
{
    win::WIN32_FIND_DATA found{};
    win::HANDLE search = win::FindFirstFile((folder + "\\*.*").c_str(), &found);
    if (search != win::INVALID_HANDLE_VALUE) {
        do {
            const AnsiString name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const AnsiString path = folder + "\\" + name;
            if (found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(path);
            } else {
                win::SetFileAttributes(path.c_str(), win::FILE_ATTRIBUTE_NORMAL);
                win::DeleteFile(path.c_str());
            }
        } while (win::FindNextFile(search, &found));
        win::FindClose(search);
    }
    win::RemoveDirectory(folder.c_str());
}

AnsiString PassedOn(const AnsiString& argument)
{
    return rtl::SameText(argument, "*TODISK") ? AnsiString("-f") : argument;
}

void ShowFailure(const AnsiString& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Setup");
        vcl::MessageDlg(text, vcl::mtError, {vcl::mbOK}, 0);
    } catch (...) {
        // Without a display the standard error stream has said it.
    }
}

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    AnsiString folder;
    try {
        const AnsiString self = win::ParamStr(0);
        folder = RemoveBackslash(TempFileName(false)) + ".setup";
        CreateFolderAndParents(folder);
        const AnsiString program = UnpackSetup(self, folder);
        std::string line = Quoted(program) + " " + Quoted("-s" + RemoveBackslash(rtl::ExtractFilePath(self))) + " " +
                           Quoted("-e" + rtl::ExtractFileName(self)) + " -c";
        for (int i = 1; i <= win::ParamCount(); ++i)
            line += " " + Quoted(PassedOn(win::ParamStr(i)));
        win::STARTUPINFO startup{};
        startup.cb = sizeof startup;
        win::PROCESS_INFORMATION info{};
        if (!win::CreateProcess(program.c_str(), line.data(), nullptr, nullptr, win::FALSE, 0, nullptr,
                                folder.c_str(), &startup, &info))
            throw rtl::Exception(rtl::Format("Cannot start %s", program));
        win::WaitForSingleObject(info.hProcess, win::INFINITE);
        win::DWORD code = 1;
        win::GetExitCodeProcess(info.hProcess, &code);
        win::CloseHandle(info.hThread);
        win::CloseHandle(info.hProcess);
        return static_cast<int>(code);
    } catch (const rtl::Exception& error) {
        if (!folder.empty())
            RemoveFolder(folder);
        ShowFailure("Setup cannot run. " + ShownErrorText(error));
        return 1;
    }
}
