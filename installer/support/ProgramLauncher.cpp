#include "installer/support/ProgramLauncher.h"

#include "installer/support/TrwkExceptions.h"
#include "platform/win/Handles.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"
#include "platform/win/Shell.h"

using rtl::AnsiString;

VCL_IMPLEMENT_CLASS(TProgramLauncher)

void TProgramLauncher::RegisterProperties(vcl::TClassDef<TProgramLauncher>& def)
{
    using T = TProgramLauncher;
    def.Property("Action", &T::Action, &T::SetAction, AnsiString("Open"));
    def.Property("FileName", &T::FileName, &T::SetFileName, AnsiString());
    def.Property("Parameters", &T::Parameters, &T::SetParameters, AnsiString());
    def.Property("ShowMode", &T::ShowMode, &T::SetShowMode, smNormal);
    def.Property("StartDir", &T::StartDir, &T::SetStartDir, AnsiString());
    def.Property("Timeout", &T::Timeout, &T::SetTimeout, -1);
    def.Property("Wait", &T::Wait, &T::SetWait, true);
}

TProgramLauncher::TProgramLauncher(vcl::TComponent* owner) : TComponent(owner) {}

AnsiString TProgramLauncher::CommandLine() const
{
    AnsiString line = "\"" + fileName_ + "\"";
    if (!parameters_.empty())
        line += " " + parameters_;
    return line;
}

void TProgramLauncher::Execute()
{
    win::STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = win::STARTF_USESHOWWINDOW | win::STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = static_cast<win::WORD>(ShowWindowValue(showMode_));
    win::PROCESS_INFORMATION information{};
    AnsiString commandLine = CommandLine();
    if (!win::CreateProcess(fileName_.c_str(), commandLine.data(), nullptr, nullptr, win::FALSE,
                            win::NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &information))
        RaiseLaunchError(LaunchCodeOfError(win::GetLastError()));
    win::WaitForInputIdle(information.hProcess, win::INFINITE);
    win::CloseHandle(information.hProcess);
    win::CloseHandle(information.hThread);
}

int ShowWindowValue(TplShowMode mode)
{
    switch (mode) {
    case smMaximized: return win::SW_SHOWMAXIMIZED;
    case smMinimized: return win::SW_SHOWMINIMIZED;
    case smHide: return win::SW_HIDE;
    default: return win::SW_SHOWNORMAL;
    }
}

AnsiString LaunchErrorText(int32_t code)
{
    switch (code) {
    case 0:
    case 8: return "Out of memory";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 5: return "Sharing violation";
    case 6: return "Library/Segment error";
    case 10: return "Incorrect version of windows";
    case 11: return "Invalid file";
    case 12:
    case 13: return "Invalid DOS version";
    case 14:
    case 31: return "File type has no association";
    case 15: return "Cannot load a Real-mode application";
    case 16: return "Invalid attempt to launch second instance";
    case 19: return "Cannot load a compressed executable file";
    case 20: return "Invalid dynamic link library";
    case 21: return "Application requires Win32";
    default: return "Unknown error";
    }
}

void RaiseLaunchError(int32_t code) { throw EProgramLauncherFailed(LaunchErrorText(code), code); }

int32_t LaunchCodeOfError(uint32_t error)
{
    return error == win::ERROR_BAD_EXE_FORMAT ? 11 : static_cast<int32_t>(error);
}

void RegisterProgramLauncherClasses() { vcl::RegisterClasses({&TProgramLauncher::StaticClass()}); }
