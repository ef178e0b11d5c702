// The install-object tree loaded from a form resource: the order of helper components, the refusals,
// broadcasts and hooks, the install walk, and freeing the tree in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "installer/engine/PathSpecifiers.h"
#include "platform/win/Settings.h"
#include "tests/installer/engine/EngineTestSupport.h"

namespace {

std::vector<std::string> ChildNames(const TInstallContainer& container)
{
    std::vector<std::string> names;
    for (int i = 0; i < container.ChildCount(); ++i)
        names.push_back(container.ChildAt(i)->Name());
    return names;
}

std::vector<std::string> LogWith(const std::string& part)
{
    std::vector<std::string> found;
    for (const std::string& line : EngineLog()) {
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    }
    return found;
}

using InstallTreeTest = EngineTest;

TEST_F(InstallTreeTest, HelperComponentsStandByTypeCodeTheLastAddedFirst)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& install = form->Item<TInstall>("Install1");
    // Group (500), then the dialog (9000) after the link (8000) and the registry key (8500).
    EXPECT_EQ(ChildNames(install), (std::vector<std::string>{"Group1", "Link1", "Registry1", "DriverDialog"}));
    // Three files added A, B, C stand as C, B, A.
    EXPECT_EQ(ChildNames(form->Item("Dir1")), (std::vector<std::string>{"FileC", "FileB", "FileA"}));

    // A new link goes after the files and before the first link; "TINSTALLBDE" in any case goes first.
    auto* link2 = new TTestLink(form.get());
    link2->SetName("Link2");
    link2->SetContainer(&install);
    auto* bde = new TInstallBDE(form.get());
    bde->SetName("Bde");
    bde->SetContainer(&install);
    EXPECT_EQ(ChildNames(install),
              (std::vector<std::string>{"Bde", "Group1", "Link2", "Link1", "Registry1", "DriverDialog"}));
    EXPECT_EQ(install.FileContainerCount(), 1);
    EXPECT_EQ(install.FileContainers(0), &form->Item("Group1"));
    EXPECT_THROW(install.FileContainers(1), IEInstallContainer);
    EXPECT_THROW(install.ChildAt(6), IEInstallContainer);
    EXPECT_EQ(install.CountOfClass(TTestLink::StaticClass()), 2);
    EXPECT_EQ(install.ChildOfClass(1, TTestLink::StaticClass()), &form->Item("Link1"));

    // Joining a container sets the container's folder as the destination.
    EXPECT_TRUE(dynamic_cast<TpsContainerDestDir*>(link2->DestDirType()));
    EXPECT_EQ(link2->DestDir(), "");

    install.FreeChildrenOfClass(TTestLink::StaticClass());
    EXPECT_EQ(ChildNames(install), (std::vector<std::string>{"Bde", "Group1", "Registry1", "DriverDialog"}));
    EXPECT_EQ(form->FindComponent("Link1"), nullptr);
}

TEST_F(InstallTreeTest, ACircularTreeIsRefused)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& group = form->Item<TInstallObject>("Group1");
    auto& dir = form->Item<TInstallObject>("Dir1");
    auto* inner = new TInstallGroup(form.get());
    inner->SetContainer(&group);
    try {
        group.SetContainer(inner);  // the new group sits below Group1
        FAIL() << "a container was added below itself";
    } catch (const IEInstallContainer& e) {
        EXPECT_EQ(e.Message(), "Circular reference");
    }
    EXPECT_THROW(dir.SetContainer(&dir), IEInstallContainer);
    EXPECT_EQ(dir.Container(), &group);
    EXPECT_EQ(group.Container(), &form->Item("Install1"));
    try {
        group.AddHelperComponent(nullptr);
        FAIL();
    } catch (const IEInstallContainer& e) {
        EXPECT_EQ(e.Message(), "Cannot add a blank base helper component to Group1");
    }
}

TEST_F(InstallTreeTest, BroadcastsReachOnlyDirectChildrenFromCode2000)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& install = form->Item<TInstall>("Install1");
    install.BroadcastMessage(&install, InstallMessage::GoodEnding, nullptr);
    // Not the group (500), nor the dialog whose container is the group, nor the group's files.
    EXPECT_EQ(EngineLog(), (std::vector<std::string>{"Link1 -995", "Registry1 -995", "DriverDialog -995"}));

    EngineLog().clear();
    install.SetSoleReceiver(&form->Item("Registry1"));
    install.DoStatus("Copying");
    EXPECT_EQ(EngineLog(), (std::vector<std::string>{"Registry1 -974"}));
    install.SetSoleReceiver(nullptr);

    EngineLog().clear();
    form->Item("Dir1").ClearStatus();
    EXPECT_EQ(EngineLog(), (std::vector<std::string>{"FileC -973", "FileB -973", "FileA -973"}));
}

TEST_F(InstallTreeTest, HooksTravelUpTheContainersToTheDriver)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& file = form->Item<TInstallObject>("FileB");
    // Only containers in the middle of an operation pass reports on.
    form->Item<TFileContainer>("Dir1").SetContainerState(ifsInstall);
    form->Item<TFileContainer>("Group1").SetContainerState(ifsInstall);
    file.Container()->DoInformationEventControl(&file, HookCode::FileDone, &file);
    EXPECT_EQ(EngineLog(), (std::vector<std::string>{"Dir1 hook 1001 from FileB", "Group1 hook 1001 from Dir1"}));
}

TEST_F(InstallTreeTest, InstallWalksTheTreeByTypeAndRule)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& install = form->Item<TInstall>("Install1");
    auto& link = form->Item<TTestInstallItem>("Link1");
    install.SetInstalling(true);
    install.SetCurrentInstallType(itFull);

    // The link is not installed by its container; asked before the driver was processed, it waits.
    link.Install();
    EXPECT_EQ(link.Installs, 1);
    EXPECT_TRUE(LogWith("Link1 -99").empty());

    install.ReadArchiveInfo();  // the run reads it before the tree
    EngineLog().clear();
    install.InstallTree();
    EXPECT_TRUE(install.Processed());
    EXPECT_EQ(LogWith("install"),
              (std::vector<std::string>{"FileC install", "FileB install", "FileA install"}));
    // Every component's step is framed by its broadcasts: the file's to no one, the driver's to its own,
    // with the driver's pass over its objects inside.
    EXPECT_EQ(LogWith("Link1"),
              (std::vector<std::string>{"Link1 -990", "Link1 -999", "Link1 -992", "Link1 -996", "Link1 -989"}));

    // Now that the driver was processed, the link installs when asked.
    EngineLog().clear();
    link.Install();
    EXPECT_EQ(LogWith("Link1"), (std::vector<std::string>{"Link1 install"}));

    install.SetInstalling(false);
}

TEST_F(InstallTreeTest, InclusionFollowsInstallTypesAndTheSystem)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    auto& install = form->Item<TInstall>("Install1");
    auto& dir = form->Item("Dir1");
    auto& fileA = form->Item<TTestInstallItem>("FileA");

    // An empty set reads back as [itFull].
    dir.SetInstallTypes({});
    EXPECT_EQ(dir.InstallTypes(), TInstallTypes{itFull});

    install.SetInstalling(true);
    install.SetCurrentInstallType(itCompact);
    EXPECT_FALSE(dir.IsIncluded());
    install.InstallTree();
    EXPECT_EQ(fileA.Installs, 0);  // the directory stops at its install types
    EXPECT_FALSE(dir.Processed());

    // A custom install takes whatever the types say.
    install.SetCurrentInstallType(itCustom);
    EXPECT_TRUE(dir.IsIncluded());
    install.InstallTree();
    EXPECT_EQ(fileA.Installs, 1);

    // A component whose systems lack the running one is left out for good.
    win::SetWindowsKind(win::TWindowsKind::Win98);
    fileA.SetOS(OSSet{oswinXP});
    int before = 0, after = 0;
    fileA.OnBeforeProcess = [&](TInstallContainer*) { ++before; };
    fileA.OnAfterProcess = [&](TInstallContainer*) { ++after; };
    install.InstallTree();
    EXPECT_EQ(fileA.Installs, 2);  // asked, but it stops after its first event
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
    EXPECT_FALSE(fileA.Include());
    fileA.SetOS(OSSet{oswin98});
    install.InstallTree();
    EXPECT_EQ(after, 0);  // still out for the rest of the process
    install.SetInstalling(false);
}

TEST_F(InstallTreeTest, DestinationsAreBuiltThroughTheSpecifiers)
{
    std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
    EXPECT_EQ(form->Item("Install1").GetDestPath(), "C:\\Program Files\\MyApplication");
    EXPECT_EQ(form->Item("Group1").GetDestPath(), "C:\\Program Files\\MyApplication\\Docs");
    // "\Manuals\" loses its trailing backslash.
    EXPECT_EQ(form->Item("Dir1").GetDestPath(), "C:\\Program Files\\MyApplication\\Docs\\Manuals");
    EXPECT_EQ(form->Item("FileA").GetDestPath(), "C:\\Program Files\\MyApplication\\Docs\\Manuals");

    // Without a folder type the destination is DestDir alone.
    auto& link = form->Item<TInstallObject>("Link1");
    link.SetDestDirType(nullptr);
    link.SetDestDir("D:\\Links\\");
    EXPECT_EQ(link.GetDestPath(), "D:\\Links");

    // Leaving its container takes the container's folder type away.
    auto& fileA = form->Item<TInstallObject>("FileA");
    fileA.SetContainer(nullptr);
    EXPECT_EQ(fileA.DestDirType(), nullptr);
    EXPECT_EQ(ChildNames(form->Item("Dir1")), (std::vector<std::string>{"FileC", "FileB"}));
}

// Destroying the components one by one, in several orders, under the sanitizers: every link and child
// list forgets a component that goes.
TEST_F(InstallTreeTest, FreeingTheTreeInAnyOrderIsClean)
{
    const std::vector<std::vector<const char*>> orders = {
        {"Install1", "Group1", "Dir1", "FileA", "Link1"},
        {"FileB", "Dir1", "Install1", "GroupDialog", "Group1"},
        {"Group1", "Registry1", "FileC", "Install1", "Dir1"},
        {"psContainerDestDir", "psProgramFiles", "Dir1", "Install1"},
    };
    for (const auto& order : orders) {
        std::unique_ptr<TfrmInstallTree> form(new TfrmInstallTree(nullptr));
        for (const char* name : order) {
            vcl::TComponent* component = form->FindComponent(name);
            ASSERT_NE(component, nullptr) << name;
            delete component;
            // What is left still answers.
            for (int i = 0; i < InstallContainers().Count(); ++i) {
                TInstallContainer* c = InstallContainers().Items(i);
                for (int k = 0; k < c->ChildCount(); ++k)
                    EXPECT_NE(c->ChildAt(k)->Name(), name);
                (void)c->GetDestPath();
            }
        }
        EXPECT_EQ(InstallDriver() == nullptr, std::find(order.begin(), order.end(), std::string("Install1")) != order.end());
    }
    EXPECT_EQ(InstallContainers().Count(), 0);
    EXPECT_EQ(InstallDriver(), nullptr);
}

TEST_F(InstallTreeTest, TheListsRefuseBlankEntries)
{
    try {
        InstallContainers().Add(nullptr);
        FAIL();
    } catch (const IEContainerList& e) {
        EXPECT_EQ(e.Message(), "Cannot add a blank entry to the TInstallContainerList object");
    }
    try {
        InstallFiles().Add(nullptr);
        FAIL();
    } catch (const IECustomInstallFileList& e) {
        EXPECT_EQ(e.Message(), "Cannot add a blank entry to the TCustomInstallFileList object");
    }
    EXPECT_EQ(CurrentDistributeType(), dtTraditionalNet);  // no driver
    EXPECT_FALSE(IsInstalling());
}

}  // namespace
