// The setup program's own form: its wizards as the installation of Scrivane configures them, and a
// destination chosen on its page carried to every file, link target and registry path.
#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/InstallFiles.h"
#include "installer/engine/InstallRegistry.h"
#include "installer/engine/PathSpecifiers.h"
#include "installer/wizard/SetupMain.h"
#include "tests/installer/wizard/WizardPagesSupport.h"

namespace {

namespace vt = vcl::test;

class SetupFormTest : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        form_.reset(new TForm1(nullptr));
    }
    void TearDown() override
    {
        form_.reset();
        PagesTest::TearDown();
    }
    template <class T>
    T& Item(const char* name) const
    {
        auto* component = dynamic_cast<T*>(form_->FindComponent(name));
        if (!component)
            throw rtl::Exception(rtl::AnsiString("no component ") + name);
        return *component;
    }
    TInstall& Install() const { return Item<TInstall>("Install1"); }
    rtl::AnsiString FileDestination(const char* name) const
    {
        return Item<TCustomInstallFile>(name).GetDestFileName();
    }
    std::unique_ptr<TForm1> form_;
};

TEST_F(SetupFormTest, TheDestinationChosenOnItsPageMovesEveryFileAndTheProgramPaths)
{
    EXPECT_EQ(FileDestination("IFScrivane_exe"), "C:\\Program Files\\Halvern\\Scrivane\\Scrivane.exe");
    std::vector<int> orders;
    vt::OnNextModal<TBaseFormContainer>([&](TBaseFormContainer& frame) {
        orders = PageOrders(frame);
        auto& destination = GoToPage<TSelectDestinationForm>(frame);
        EXPECT_EQ(destination.edDestDir->Text(), "C:\\Program Files\\Halvern\\Scrivane");
        vt::SetText(*destination.edDestDir, "");
        vt::TypeText(*destination.edDestDir, "D:\\Apps\\Scriv");
        vt::Click(*destination.ProceedBtn);
        // The program menu shows the main link group's folder and keeps it.
        auto& menu = GoToPage<TSelectFolderForm>(frame);
        EXPECT_EQ(menu.FolderEdit->Text(), "Halvern");
        frame.SetModalResult(vcl::mrAbort);
    });
    EXPECT_THROW(Install().BroadcastMessage(&Install(), InstallMessage::BeforeInstall, nullptr), EAIUserAbort);
    EXPECT_EQ(orders, (std::vector<int>{10, 20, 30, 45, 60}));

    EXPECT_EQ(FileDestination("IFScrivane_exe"), "D:\\Apps\\Scriv\\Scrivane.exe");
    EXPECT_EQ(FileDestination("IFhcrtf_exe"), "D:\\Apps\\Scriv\\Tools\\hcrtf.exe");
    EXPECT_EQ(FileDestination("IFSCRIVANEHELP_HLP"), "D:\\Apps\\Scriv\\Help\\SCRIVANE HELP.HLP");
    EXPECT_EQ(FileDestination("IFifUninstallEXE_"), "D:\\Apps\\Scriv\\Uninstall\\uninstall.exe");
    // "%p" of the association's command is the installation folder.
    EXPECT_EQ(Item<TpsMainInstall>("psMainInstall").GetPath(&Item<TInstallRegistry>("InstallRegistry4")),
              "D:\\Apps\\Scriv");
    EXPECT_EQ(Item<TMainLinkGroup>("MainFolder").DestDir(), "\\Halvern");
}

}  // namespace
