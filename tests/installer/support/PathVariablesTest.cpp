#include <gtest/gtest.h>

#include "installer/support/PathVariables.h"
#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkRegistry.h"
#include "installer/support/TrwkSystem.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Paths.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "tests/installer/support/FakeTranslator.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

const char* const ShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class TFakeComponent : public IInstallPathSource {
public:
    explicit TFakeComponent(std::string destPath, IInstallPathSource* container = nullptr)
        : destPath_(std::move(destPath)), container_(container)
    {
    }
    rtl::AnsiString GetDestPath() override { return destPath_; }
    IInstallPathSource* ContainerPathSource() override { return container_; }

private:
    std::string destPath_;
    IInstallPathSource* container_;
};

class PathVariablesTest : public WinPrefixTest {
protected:
    void TearDown() override
    {
        SetInstallPathSource(nullptr);
        WinPrefixTest::TearDown();
    }

    // Shell folders of the prefix's user with a trailing backslash on one, as some systems store them.
    void WriteFolders()
    {
        RegWriteString(win::HKEY_CURRENT_USER, ShellFolders, "Start Menu", "C:\\Menu");
        RegWriteString(win::HKEY_CURRENT_USER, ShellFolders, "Programs", "C:\\Menu\\Programs\\");
        RegWriteString(win::HKEY_CURRENT_USER, ShellFolders, "Startup", "C:\\Menu\\Programs\\Startup");
        RegWriteString(win::HKEY_CURRENT_USER, ShellFolders, "Desktop", "C:\\Desk");
        RegWriteString(win::HKEY_LOCAL_MACHINE, CurrentVersion, "ProgramFilesDir", "D:\\Apps\\");
        RegWriteString(win::HKEY_LOCAL_MACHINE, CurrentVersion, "CommonFilesDir", "D:\\Apps\\Common");
    }
};

TEST_F(PathVariablesTest, EveryMetaVariableExpandsOn98AndXpPrefixes)
{
    for (auto kind : {win::TWindowsKind::Win98, win::TWindowsKind::WinXP}) {
        SCOPED_TRACE(win::WindowsKindName(kind));
        win::SetWindowsKind(kind);
        WriteFolders();
        const std::string users = ReadHost(win::RegistryFilePath(win::HKEY_CURRENT_USER));
        EXPECT_NE(users.find("\"Programs\"=\"C:\\\\Menu\\\\Programs\\\\\""), std::string::npos);

        TFakeComponent install("C:\\Program Files\\Halvern\\");
        SetInstallPathSource([&] { return &install; });
        TFakeComponent group("C:\\Program Files\\Halvern\\Help", &install);
        TFakeComponent file("C:\\Program Files\\Halvern\\Help\\Pics", &group);

        const std::string system = kind == win::TWindowsKind::Win98 ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\system32";
        EXPECT_EQ(SystemDirectory(), system);
        const std::pair<const char*, std::string> expected[] = {
            {"%a", "C:\\Program Files\\Halvern\\Help\\Pics"},
            {"%b", "C:\\Menu\\Programs"},
            {"%c", "C:\\Program Files\\Halvern\\Help"},
            {"%d", "C:\\Desk"},
            {"%f", "D:\\Apps\\Common"},
            {"%i", "C:\\Program Files\\Halvern"},
            {"%m", "C:\\Menu"},
            {"%p", "D:\\Apps"},
            {"%s", system},
            {"%w", "C:\\WINDOWS"},
        };
        for (const auto& [text, folder] : expected) {
            EXPECT_EQ(ExpandPath(text, &file), folder) << text;
            std::string upper = text;
            upper[1] = static_cast<char>(upper[1] - 32);
            EXPECT_EQ(ExpandPath(upper, &file), folder) << upper;
        }
        EXPECT_EQ(ExpandPath("\"%a\\app.exe\" /w=%w /tmp", &file),
                  "\"C:\\Program Files\\Halvern\\Help\\Pics\\app.exe\" /w=C:\\WINDOWS /tmp");
    }
}

TEST_F(PathVariablesTest, PercentSignsAndUnknownLettersFollowTheScan)
{
    WriteFolders();
    EXPECT_EQ(ExpandPath("%%", nullptr), "%");
    EXPECT_EQ(ExpandPath("%%%p", nullptr), "%D:\\Apps");
    EXPECT_EQ(ExpandPath("a%xb%9c%ez", nullptr), "abcz");
    EXPECT_EQ(ExpandPath("100%", nullptr), "100");
    EXPECT_EQ(ExpandPath("%%%", nullptr), "%");
    EXPECT_EQ(ExpandPath("C:\\plain\\path.txt", nullptr), "C:\\plain\\path.txt");
    EXPECT_EQ(ExpandPath("", nullptr), "");
    // Not recursive: a folder holding "%" is taken as it is.
    RegWriteString(win::HKEY_CURRENT_USER, ShellFolders, "Desktop", "C:\\%w\\Desk%%");
    EXPECT_EQ(ExpandPath("%d\\x", nullptr), "C:\\%w\\Desk%%\\x");
}

TEST_F(PathVariablesTest, MissingComponentsRaiseTranslatedErrors)
{
    TFakeTranslator translator({{"Cannot expand the %c meta variable because the Container property is Nil",
                                 "Kein Container für %c"}});
    TFakeComponent orphan("C:\\x");
    EXPECT_THROW(ExpandPath("%a", nullptr), EAICannotExpandContainerDirMV);
    EXPECT_THROW(ExpandPath("%C", nullptr), EAICannotExpandContainerDirMV);
    try {
        ExpandPath("%c", &orphan);
        FAIL() << "no error";
    } catch (const EAICannotExpandContainerDirMV& error) {
        EXPECT_STREQ(error.what(), "Kein Container für %c");
    }
    try {
        ExpandPath("%i", &orphan);
        FAIL() << "no error";
    } catch (const EAICannotExpandInstallDirMV& error) {
        EXPECT_STREQ(error.what(), "Cannot expand the %i meta variable because there is no TInstall component");
    }
    SetInstallPathSource([] { return static_cast<IInstallPathSource*>(nullptr); });
    EXPECT_THROW(ExpandPath("x%Iy", &orphan), EAICannotExpandInstallDirMV);
    // Letters that need no component work without one.
    EXPECT_EQ(ExpandPath("%w", nullptr), "C:\\WINDOWS");
}

TEST_F(PathVariablesTest, FoldersFallBackToTheirDefaults)
{
    // A fresh prefix has the folders of its user.
    EXPECT_EQ(ProgramFilesFolder(), "C:\\Program Files");
    EXPECT_EQ(StartMenuFolder(), "C:\\Documents and Settings\\" + win::CurrentUserName() + "\\Start Menu");

    RegDeleteKeyTree(win::HKEY_CURRENT_USER, ShellFolders);
    RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, CurrentVersion);
    EXPECT_EQ(StartMenuFolder(), "C:\\WINDOWS\\Startmen");
    EXPECT_EQ(ProgramsFolder(), "C:\\WINDOWS\\Startmen\\Programs");
    EXPECT_EQ(StartupFolder(), "C:\\WINDOWS\\Startup");
    EXPECT_EQ(DesktopFolder(), "C:\\WINDOWS\\Desktop");
    // On the drive of the current directory, with one backslash after it.
    EXPECT_EQ(ProgramFilesFolder(), "C:\\Program Files");
    EXPECT_EQ(CommonFilesFolder(), "C:\\Program Files\\Common Files");
    ASSERT_TRUE(win::SetCurrentDirectory("Z:\\"));
    EXPECT_EQ(ProgramFilesFolder(), "Z:\\Program Files");
    EXPECT_EQ(ExpandPath("%f\\x", nullptr), "Z:\\Program Files\\Common Files\\x");
}

}  // namespace
