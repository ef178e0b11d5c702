// Program body of the help-authoring tool.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/vcl/Forms.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/SystemInfo.h"
#include "platform/wsock32/WinSock.h"
#include "tool/MainUnit.h"

namespace {

// "C:\x", "\\server\share", "\x": already a Windows path. Anything else is the host's, as a shell gives it.
bool IsWindowsPath(const std::string& argument)
{
    if (argument.size() >= 2 && argument[1] == ':')
        return true;
    return !argument.empty() && argument[0] == '\\';
}

// The start check of headless runs: the program starts, shows its window and ends by itself.
bool StartCheck()
{
    const char* value = std::getenv("SCRIVANE_EXIT_AFTER_START");
    return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    win::InitializePlatform();
    win::RegisterWinSockModule();
    // The project file comes as a host path (from the shell or a file manager); the tool speaks Windows.
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i] ? argv[i] : "";
        if (i > 0 && !argument.empty() && !IsWindowsPath(argument))
            argument = win::WindowsPathFromHost(argument);
        arguments.push_back(std::move(argument));
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    win::SetCommandLine(argc, pointers.data());
    try {
        vcl::Application->Initialize();
        vcl::Application->SetTitle("Halvern Scrivane");
        vcl::Application->CreateForm(frmMainMenu);
        vcl::Application->Run();
        // The start check ends as a person closing the window would, so config.ini is written as at
        // every end.
        if (StartCheck() && frmMainMenu != nullptr)
            frmMainMenu->Close();
    } catch (...) {
        vcl::Application->HandleException(nullptr);
        return 1;
    }
    return 0;
}
