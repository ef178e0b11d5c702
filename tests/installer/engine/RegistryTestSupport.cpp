#include "tests/installer/engine/RegistryTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "installer/engine/InstallRegistry.h"
#include "platform/win/Platform.h"
#include "platform/win/Process.h"

extern char** environ;

void RegisterFormResources_tests_installer_engine();

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmRegistrySetup)

TfrmRegistrySetup::TfrmRegistrySetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("RegistrySetup.frm");
}

void RunRegistrySetup(TfrmRegistrySetup& form)
{
    auto& install = form.Item<TInstall>("Install1");
    install.SetInstalling(true);
    install.SetCurrentInstallType(itFull);
    install.InstallTree();
    install.InstallByType(ComponentTypeCode::Registry, "Installing registry keys...");
    install.SetInstalling(false);
}

rtl::AnsiString ReadValue(win::HKEY root, const rtl::AnsiString& key, const rtl::AnsiString& name)
{
    return RegReadString(root, key, name, "<none>");
}

int RunUninstallerProcess(const rtl::AnsiString& commandLine)
{
    const auto arguments = win::SplitCommandLine(commandLine);
    EXPECT_EQ(arguments.size(), 2u) << commandLine;
    if (arguments.size() != 2)
        return -1;
    std::vector<std::string> argv = {UNINSTALL_EXE, "/S", arguments[1]};
    std::vector<char*> pointers;
    for (std::string& argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, UNINSTALL_EXE, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    win::ResetPlatform();
    win::InitializePlatform();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
