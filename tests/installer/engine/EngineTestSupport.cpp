#include "tests/installer/engine/EngineTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>

#include "installer/engine/InstallObjects.h"
#include "installer/engine/PathSpecifiers.h"
#include "platform/vcl/FormResource.h"
#include "tests/support/ChildProcess.h"

void RegisterFormResources_tests_installer_engine();

std::vector<std::string>& EngineLog()
{
    static std::vector<std::string> log;
    return log;
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestInstallItem)

void TTestInstallItem::ContainerMessage(vcl::TComponent*, int code, rtl::TObject*)
{
    EngineLog().push_back(Name() + " " + std::to_string(code));
}

void TTestInstallItem::Install()
{
    ++Installs;
    EngineLog().push_back(Name() + " install");
    TInstallObject::Install();
}

VCL_IMPLEMENT_CLASS_NOPROPS(TTestInstall)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestFile)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestLink)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestRegistry)
VCL_IMPLEMENT_CLASS_NOPROPS(TTestDialog)
VCL_IMPLEMENT_CLASS_NOPROPS(TInstallBDE)
VCL_IMPLEMENT_CLASS_NOPROPS(TRecordingGroup)
VCL_IMPLEMENT_CLASS_NOPROPS(TRecordingDirectory)

void TRecordingGroup::DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    EngineLog().push_back(Name() + " hook " + std::to_string(code) + " from " + sender->Name());
    TInstallGroup::DoInformationEventControl(sender, code, parameter);
}

void TRecordingDirectory::DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter)
{
    EngineLog().push_back(Name() + " hook " + std::to_string(code) + " from " + sender->Name());
    TInstallDirectory::DoInformationEventControl(sender, code, parameter);
}

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmInstallTree)

TfrmInstallTree::TfrmInstallTree(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("InstallTree.frm");
}

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmStoredTree)

TfrmStoredTree::TfrmStoredTree(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("StoredTree.frm");
}

VCL_IMPLEMENT_CLASS_NOPROPS(TfrmLinkSetup)

TfrmLinkSetup::TfrmLinkSetup(vcl::TComponent* owner) : TForm(owner)
{
    RegisterFormResources_tests_installer_engine();
    LoadForm("LinkSetup.frm");
}

void EngineTest::SetUp()
{
    WinPrefixTest::SetUp();
    RegisterInstallObjectClasses();
    vcl::RegisterClasses({&TTestFile::StaticClass(), &TTestLink::StaticClass(), &TTestRegistry::StaticClass(),
                          &TTestDialog::StaticClass(), &TInstallBDE::StaticClass(), &TRecordingGroup::StaticClass(),
                          &TRecordingDirectory::StaticClass()});
    EngineLog().clear();
    ResetInstallEngine();
}

void EngineTest::TearDown()
{
    EngineLog().clear();
    WinPrefixTest::TearDown();
}

int EngineTest::RunProgram(const std::string& program, std::vector<std::string> arguments, std::string& errors,
                           const std::string& folder, const std::vector<std::string>& environment, int seconds)
{
    TVariables variables;
    for (const std::string& setting : environment) {
        const size_t equals = setting.find('=');
        variables.emplace_back(setting.substr(0, equals), equals == std::string::npos ? "" : setting.substr(equals + 1));
    }
    const TChildRun run = RunChild(program, std::move(arguments), variables, folder, seconds * 1000);
    errors = run.Err;
    return run.ExitCode;
}

// ---------------------------------------------------------------------------------------------------------

namespace {

// The lines only one of two texts has, each marked "+" (after) or "-" (before); a few at most, so a
// binary file does not flood the report.
std::string ChangedLines(const std::string& after, const std::string& before)
{
    auto lines = [](const std::string& text) {
        std::multiset<std::string> set;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            set.insert(line.size() > 200 ? line.substr(0, 200) + "..." : line);
        return set;
    };
    const std::multiset<std::string> a = lines(after), b = lines(before);
    std::vector<std::string> added, removed;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(added));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(removed));
    std::string report;
    int shown = 0;
    for (const auto& [mark, list] : {std::pair{"+ ", &added}, std::pair{"- ", &removed}}) {
        for (const std::string& line : *list) {
            if (++shown > 20)
                return report + "...\n";
            report += mark + line + "\n";
        }
    }
    return report;
}

}  // namespace

std::map<std::string, std::string> EngineTest::PrefixSnapshot(const std::vector<std::string>& ignored) const
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Prefix())) {
        const std::string relative = std::filesystem::relative(entry.path(), Prefix()).string();
        if (relative == "attributes.txt" || relative.rfind("shortnames.", 0) == 0 ||
            std::find(ignored.begin(), ignored.end(), relative) != ignored.end())
            continue;
        entries[relative] = entry.is_regular_file() ? ReadHost(entry.path().string()) : std::string("<folder>");
    }
    return entries;
}

std::vector<std::string> EngineTest::SnapshotDifferences(const std::map<std::string, std::string>& after,
                                                         const std::map<std::string, std::string>& before)
{
    std::vector<std::string> differences;
    for (const auto& [path, content] : after) {
        auto it = before.find(path);
        if (it == before.end())
            differences.push_back("new: " + path);
        else if (it->second != content)
            differences.push_back("changed: " + path + "\n" + ChangedLines(content, it->second));
    }
    for (const auto& [path, content] : before) {
        if (!after.count(path))
            differences.push_back("gone: " + path);
    }
    return differences;
}

void FileEngineTest::SetUp()
{
    EngineTest::SetUp();
    form_ = std::make_unique<vcl::TForm>(nullptr);
    install_ = new TTestInstall(form_.get());
    install_->SetName("Install");
    install_->SetSourceDir("C:\\dist");
    install_->SetDestDir("\\MyApplication");
    group_ = new TInstallGroup(form_.get());
    group_->SetName("Group");
    group_->SetDescription("Program");
    group_->SetContainer(install_);
    docs_ = new TInstallDirectory(form_.get());
    docs_->SetName("Docs");
    docs_->SetDescription("Documentation");
    docs_->SetContainer(group_);
    docs_->SetDestDir("\\Docs");
    install_->SetInstalling(true);
    install_->SetCurrentInstallType(itFull);
}

void FileEngineTest::TearDown()
{
    if (install_)
        install_->SetInstalling(false);
    form_.reset();
    EngineTest::TearDown();
}

TCustomInstallFile* FileEngineTest::AddFile(const std::string& name, const std::string& content,
                                            TInstallContainer* container)
{
    WriteHost(DriveC("src/" + name), content);
    TCustomInstallFile* file =
        TInstallFile::CreateInContainer(form_.get(), container ? container : docs_, "C:\\src\\" + name);
    UniqueComponentName(file, name);
    return file;
}

THeldFile::THeldFile(const std::string& windowsPath)
{
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        return;
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::string program = ENGINE_TEST_HOLD_FILE;
    std::string path = windowsPath;
    char* argv[] = {program.data(), path.data(), nullptr};
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    toChild_ = input[1];
    if (pid_ > 0) {
        char line[32] = {};
        ssize_t got = 0;
        // The child answers at once; a line of at most a few bytes.
        while (got < static_cast<ssize_t>(sizeof line) - 1) {
            const ssize_t n = ::read(output[0], line + got, 1);
            if (n <= 0 || line[got] == '\n')
                break;
            ++got;
        }
        held_ = std::string(line, static_cast<size_t>(got)) == "held";
    }
    ::close(output[0]);
}

THeldFile::~THeldFile()
{
    if (toChild_ >= 0)
        ::close(toChild_);
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}
