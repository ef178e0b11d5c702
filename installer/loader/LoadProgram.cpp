// The loading program of a distribution: the setup.exe that a user starts. It reads the trailer at its own
// end, unpacks setup.1 (the setup program and its companions) into a temporary folder and starts the setup
// program there with
//
//   -s<folder of setup.exe> -e<file name of setup.exe> -c
//
// (the distribution's folder, the self-extracting file that holds files.1, and the request to clean up
// the temporary copy afterwards). It waits for the setup program and ends with its exit code. Other
// arguments ("*TODISK" for the floppy transfer is the only one a user gives) are passed on after these.

#include <sys/stat.h>

#include <cstdio>

#include "installer/engine/Install.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkSystem.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
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

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::SetCommandLine(argc, argv);
    try {
        const AnsiString self = win::ParamStr(0);
        const AnsiString folder = RemoveBackslash(TempFileName(false)) + ".setup";
        CreateFolderAndParents(folder);
        const AnsiString program = UnpackSetup(self, folder);
        std::string line = Quoted(program) + " " + Quoted("-s" + RemoveBackslash(rtl::ExtractFilePath(self))) + " " +
                           Quoted("-e" + rtl::ExtractFileName(self)) + " -c";
        for (int i = 1; i <= win::ParamCount(); ++i)
            line += " " + Quoted(win::ParamStr(i));
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
        std::fprintf(stderr, "%s\n", error.Message().c_str());
        return 1;
    }
}
