#pragma once
// Small install components of the type codes the engine's later units add (files, links, registry keys,
// dialogs) that record what reaches them, containers that record the hooks passing through, and the test
// setup form that holds a small tree of them.

#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "installer/engine/FileContainers.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "platform/vcl/Forms.h"
#include "tests/platform/win/WinTestFixture.h"

// The message of the exception `action` raises, which must be an E; a note of what happened otherwise.
template <class E, class F>
std::string MessageOf(F&& action)
{
    try {
        action();
    } catch (const rtl::Exception& e) {
        const rtl::Exception* raised = &e;
        if (dynamic_cast<const E*>(raised) != nullptr)
            return e.Message();
        return "<other exception: " + e.Message() + ">";
    }
    return "<nothing raised>";
}

// Everything that happens to the test components, in order: "FileA install", "Link1 -995".
std::vector<std::string>& EngineLog();

class TTestInstallItem : public TInstallObject {
    VCL_CLASS(TTestInstallItem, TInstallObject)
public:
    explicit TTestInstallItem(vcl::TComponent* owner) : TInstallObject(owner) {}
    int ComponentType() const override { return code_; }
    void ContainerMessage(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
    void Install() override;
    int Installs = 0;

protected:
    int code_ = 2000;
};

#define ENGINE_TEST_ITEM(Class, Code, WithContainer)                                \
    class Class : public TTestInstallItem {                                         \
        VCL_CLASS(Class, TTestInstallItem)                                          \
    public:                                                                         \
        explicit Class(vcl::TComponent* owner) : TTestInstallItem(owner)            \
        {                                                                           \
            code_ = Code;                                                           \
            SetInstallWithContainer(WithContainer);                                 \
        }                                                                           \
    };

ENGINE_TEST_ITEM(TTestFile, 2000, true)
ENGINE_TEST_ITEM(TTestLink, 8000, false)
ENGINE_TEST_ITEM(TTestRegistry, 8500, false)
ENGINE_TEST_ITEM(TTestDialog, 9000, false)
ENGINE_TEST_ITEM(TInstallBDE, 2000, true)

class TRecordingGroup : public TInstallGroup {
    VCL_CLASS(TRecordingGroup, TInstallGroup)
public:
    explicit TRecordingGroup(vcl::TComponent* owner) : TInstallGroup(owner) {}
    void DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
};

class TRecordingDirectory : public TInstallDirectory {
    VCL_CLASS(TRecordingDirectory, TInstallDirectory)
public:
    explicit TRecordingDirectory(vcl::TComponent* owner) : TInstallDirectory(owner) {}
    void DoInformationEventControl(vcl::TComponent* sender, int code, rtl::TObject* parameter) override;
};

class TfrmInstallTree : public vcl::TForm {
    VCL_CLASS(TfrmInstallTree, vcl::TForm)
public:
    explicit TfrmInstallTree(vcl::TComponent* owner);
    template <class T = TInstallContainer>
    T& Item(const char* name) const
    {
        return *FindChild<T>(name);
    }
};

// A setup form stored with the specifier of its first group.
class TfrmStoredTree : public vcl::TForm {
    VCL_CLASS(TfrmStoredTree, vcl::TForm)
public:
    explicit TfrmStoredTree(vcl::TComponent* owner);
};

// A setup with a driver, a directory with one install file, a main link group, a sub-group and links.
class TfrmLinkSetup : public vcl::TForm {
    VCL_CLASS(TfrmLinkSetup, vcl::TForm)
public:
    explicit TfrmLinkSetup(vcl::TComponent* owner);
    template <class T = TInstallContainer>
    T& Item(const char* name) const
    {
        return *FindChild<T>(name);
    }
};

// A driver whose stored values a test can give as a stored form gives them (the setters' run-time rules
// then stand aside).
class TTestInstall : public TInstall {
    VCL_CLASS(TTestInstall, TInstall)
public:
    explicit TTestInstall(vcl::TComponent* owner) : TInstall(owner) {}
    void StoreDistributeType(TDistributeType value)
    {
        SetComponentState(vcl::csLoading, true);
        SetDistributeType(value);
        SetComponentState(vcl::csLoading, false);
    }
    // Called after each floppy prompt was answered: the test changes the disk.
    std::function<void(int32_t disk)> OnDiskPrompted;
    void PromptForDisk(int32_t disk) override
    {
        TInstall::PromptForDisk(disk);
        if (OnDiskPrompted)
            OnDiskPrompted(disk);
    }
};

// A prefix of its own, the engine's classes registered and the log cleared.
class EngineTest : public WinPrefixTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a program of ours over the prefix, started in the host folder `folder`, with `arguments` and the
    // extra `environment` entries ("NAME=value"). Gives its exit code (-1 when it cannot start, -2 when it
    // was ended after `seconds`, -3 when a signal ended it) and its standard error in `errors`.
    int RunProgram(const std::string& program, std::vector<std::string> arguments, std::string& errors,
                   const std::string& folder, const std::vector<std::string>& environment = {}, int seconds = 60);

    // Every file and folder of the prefix with its content, by path below the prefix; the registry files
    // are among them. Left out: the layer's own books of attributes and short names, which grow as files
    // come and go as a file system's tables do, and the files named in `ignored`.
    std::map<std::string, std::string> PrefixSnapshot(const std::vector<std::string>& ignored = {}) const;
    // What differs between two snapshots, each entry with how it reads after and before.
    static std::vector<std::string> SnapshotDifferences(const std::map<std::string, std::string>& after,
                                                        const std::map<std::string, std::string>& before);
};

// A driver on a form of its own, installing into "C:\Program Files\MyApplication" from the archive
// "C:\dist\files.1", with a group "Group" (into the driver's folder) holding a directory "Docs" (its
// "\Docs" folder). Sources are written under "C:\src".
class FileEngineTest : public EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the source file "C:\src\<name>" and makes its install file in `container` (Docs by default).
    TCustomInstallFile* AddFile(const std::string& name, const std::string& content,
                                TInstallContainer* container = nullptr);
    std::string InstalledHost(const std::string& relative) const
    {
        return DriveC("Program Files/MyApplication/" + relative);
    }
    // Records the hooks that reach the driver's level, as "code:sender".
    std::vector<std::string>& DriverHooks() { return driverHooks_; }

    std::unique_ptr<vcl::TForm> form_;
    TTestInstall* install_ = nullptr;
    TInstallGroup* group_ = nullptr;
    TInstallDirectory* docs_ = nullptr;
    std::vector<std::string> driverHooks_;
};

// Another process of ours holding a file open without sharing, until destroyed.
class THeldFile {
public:
    explicit THeldFile(const std::string& windowsPath);
    ~THeldFile();
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;
    bool Held() const { return held_; }

private:
    int pid_ = -1;
    int toChild_ = -1;
    bool held_ = false;
};
