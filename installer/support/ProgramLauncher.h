#pragma once
// TProgramLauncher starts another program and waits until it is ready for input (not until it ends).
//
//   TProgramLauncher launcher(nullptr);
//   launcher.SetFileName("C:\\Program Files\\Halvern\\server.exe");
//   launcher.SetParameters("/REGSERVER");
//   launcher.SetShowMode(smHide);
//   launcher.Execute();                       // EProgramLauncherFailed when it cannot be started
//
// The started program's command line is the quoted file name, a blank and the parameters, so that its
// first argument is its own name, as every program expects. Action, StartDir, Timeout and Wait are kept
// and published but change nothing.

#include <cstdint>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Classes.h"
#include "platform/vcl/TypInfo.h"

// The window a started program shows first.
VCL_ENUM_SIZED(TplShowMode, uint8_t, smNormal, smMaximized, smMinimized, smHide)

class TProgramLauncher : public vcl::TComponent {
    VCL_CLASS(TProgramLauncher, vcl::TComponent)
public:
    explicit TProgramLauncher(vcl::TComponent* owner);

    const rtl::AnsiString& Action() const { return action_; }
    void SetAction(const rtl::AnsiString& value) { action_ = value; }
    const rtl::AnsiString& FileName() const { return fileName_; }
    void SetFileName(const rtl::AnsiString& value) { fileName_ = value; }
    const rtl::AnsiString& Parameters() const { return parameters_; }
    void SetParameters(const rtl::AnsiString& value) { parameters_ = value; }
    TplShowMode ShowMode() const { return showMode_; }
    void SetShowMode(TplShowMode value) { showMode_ = value; }
    const rtl::AnsiString& StartDir() const { return startDir_; }
    void SetStartDir(const rtl::AnsiString& value) { startDir_ = value; }
    int32_t Timeout() const { return timeout_; }
    void SetTimeout(int32_t value) { timeout_ = value; }
    bool Wait() const { return wait_; }
    void SetWait(bool value) { wait_ = value; }

    // Starts FileName and waits until it is idle; EProgramLauncherFailed when the start fails.
    void Execute();

    // The command line Execute gives the program.
    rtl::AnsiString CommandLine() const;

private:
    rtl::AnsiString action_ = "Open";
    rtl::AnsiString fileName_;
    rtl::AnsiString parameters_;
    TplShowMode showMode_ = smNormal;
    rtl::AnsiString startDir_;
    int32_t timeout_ = -1;
    bool wait_ = true;
};

// The show-window value of a show mode.
int ShowWindowValue(TplShowMode mode);
// The text of a launch code ("File not found" for 2; "Unknown error" for codes not in the table).
rtl::AnsiString LaunchErrorText(int32_t code);
// Raises EProgramLauncherFailed with the code and its text.
[[noreturn]] void RaiseLaunchError(int32_t code);
// The launch code of a failed start: the system's error code, ERROR_BAD_EXE_FORMAT given as 11 (invalid
// file), which the classic table knows.
int32_t LaunchCodeOfError(uint32_t error);

// Registers TProgramLauncher with the class registry; idempotent.
void RegisterProgramLauncherClasses();
