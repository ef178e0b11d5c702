#include <gtest/gtest.h>

#include "installer/support/TrwkExceptions.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/win/Registry.h"
#include "platform/win/Settings.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

using RegistryRoutinesTest = WinPrefixTest;

const char* const RunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string RegistryFile(win::HKEY root)
{
    std::ifstream in(win::RegistryFilePath(root), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The lines of one key's section in a registry file, up to the next section; the key's name is matched
// without case, as the registry keeps the spelling it was first given.
std::string Section(const std::string& file, const std::string& path)
{
    const std::string lower = rtl::LowerCase(file);
    const size_t start = lower.find("[" + rtl::LowerCase(path) + "]");
    if (start == std::string::npos)
        return "<missing>";
    const size_t end = file.find("\n[", start);
    return file.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool KeyPresent(win::HKEY root, const char* path)
{
    win::HKEY key = nullptr;
    if (win::RegOpenKeyEx(root, path, 0, win::KEY_READ, &key) != win::ERROR_SUCCESS)
        return false;
    win::RegCloseKey(key);
    return true;
}

TEST_F(RegistryRoutinesTest, AddRunOnceGoesUnderTheCurrentUserOnTheNtFamily)
{
    win::SetWindowsKind(win::TWindowsKind::WinXP);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AddRunOnce("TarnwickUnfinished", "\"C:\\setup.exe\" -r " + std::to_string(i), true));
    const std::string section = Section(RegistryFile(win::HKEY_CURRENT_USER), std::string("HKEY_CURRENT_USER\\") + RunOnce);
    EXPECT_NE(section.find("\"TarnwickUnfinished\"=\"\\\"C:\\\\setup.exe\\\" -r 0\""), std::string::npos) << section;
    EXPECT_NE(section.find("\"TarnwickUnfinished1\"=\"\\\"C:\\\\setup.exe\\\" -r 1\""), std::string::npos) << section;
    EXPECT_NE(section.find("\"TarnwickUnfinished2\"=\"\\\"C:\\\\setup.exe\\\" -r 2\""), std::string::npos) << section;
    EXPECT_EQ(Section(RegistryFile(win::HKEY_LOCAL_MACHINE), std::string("HKEY_LOCAL_MACHINE\\") + RunOnce)
                  .find("Tarnwick"),
              std::string::npos);

    // Not unique: the value is replaced.
    EXPECT_TRUE(AddRunOnce("TarnwickUnfinished", "again", false));
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, std::string("\\") + RunOnce, "TarnwickUnfinished", ""), "again");
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, std::string("\\") + RunOnce, "TarnwickUnfinished3", "none"), "none");
}

TEST_F(RegistryRoutinesTest, AddRunOnceGoesUnderTheLocalMachineOnThe9xKinds)
{
    for (auto kind : {win::TWindowsKind::Win98, win::TWindowsKind::WinME}) {
        win::SetWindowsKind(kind);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(AddRunOnce("TarnwickBatFile", "C:\\WINDOWS\\TEMP\\BAT1.BAT", true));
    }
    const std::string section =
        Section(RegistryFile(win::HKEY_LOCAL_MACHINE), std::string("HKEY_LOCAL_MACHINE\\") + RunOnce);
    for (const char* name : {"TarnwickBatFile", "TarnwickBatFile1", "TarnwickBatFile5"})
        EXPECT_NE(section.find(std::string("\"") + name + "\"=\"C:\\\\WINDOWS\\\\TEMP\\\\BAT1.BAT\""), std::string::npos)
            << section;
    EXPECT_EQ(RegistryFile(win::HKEY_CURRENT_USER).find("TarnwickBatFile"), std::string::npos);

    // A machine key the user may not write to: reported by the result.
    win::SetRegistryAccessDenied(win::HKEY_LOCAL_MACHINE, true);
    EXPECT_FALSE(AddRunOnce("TarnwickBatFile", "x", true));
}

TEST_F(RegistryRoutinesTest, WritersCreateTheWholePathAndRaiseTheirOwnMessages)
{
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Setup1", "Path", "C:\\Program Files\\Halvern");
    RegWriteInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Setup1", "Count", 3);
    const std::string section = Section(RegistryFile(win::HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE\\SOFTWARE\\ULO\\Install\\Setup1");
    EXPECT_NE(section.find("\"Path\"=\"C:\\\\Program Files\\\\Halvern\""), std::string::npos) << section;
    EXPECT_NE(section.find("\"Count\"=dword:00000003"), std::string::npos) << section;

    win::SetRegistryAccessDenied(win::HKEY_LOCAL_MACHINE, true);
    try {
        RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Other", "Name", "Text");
        FAIL() << "no error";
    } catch (const EIRCannotWriteValue& error) {
        EXPECT_STREQ(error.what(), "Cannot install into registry. Key: \\SOFTWARE\\Other Ident: Name Value Text");
    }
    try {
        RegWriteInteger(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Other", "Name", 1);
        FAIL() << "no error";
    } catch (const EIRCannotWriteValue& error) {
        EXPECT_STREQ(error.what(), "\\SOFTWARE\\Other");
    }
    // An existing key is refused as well.
    EXPECT_THROW(RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\ULO\\Install\\Setup1", "Path", "x"),
                 EIRCannotWriteValue);
    win::SetRegistryWriteFailure(win::ERROR_DISK_FULL);
    EXPECT_THROW(RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\Full", "a", "b"), EIRCannotWriteValue);
    win::SetRegistryWriteFailure(win::ERROR_SUCCESS);
}

TEST_F(RegistryRoutinesTest, ReadersAnswerTheirDefaultAndCreateNothing)
{
    const std::string before = RegistryFile(win::HKEY_CURRENT_USER);
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, "\\Software\\Nobody\\Deep", "Name", "dflt"), "dflt");
    EXPECT_EQ(RegReadInteger(win::HKEY_CURRENT_USER, "\\Software\\Nobody\\Deep", "Name", 42), 42);
    EXPECT_FALSE(KeyPresent(win::HKEY_CURRENT_USER, "Software\\Nobody"));
    EXPECT_EQ(RegistryFile(win::HKEY_CURRENT_USER), before);

    RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Text", "12");
    RegWriteInteger(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Number", 12);
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Text", "d"), "12");
    EXPECT_EQ(RegReadInteger(win::HKEY_CURRENT_USER, "Software\\Mixed", "Number", 0), 12);  // relative to the root
    // A value of the other type cannot be read as this one: the default.
    EXPECT_EQ(RegReadInteger(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Text", -1), -1);
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Number", "d"), "d");
    EXPECT_EQ(RegReadString(win::HKEY_CURRENT_USER, "\\Software\\Mixed", "Missing", "d"), "d");
}

TEST_F(RegistryRoutinesTest, ATreeOfSeveralLevelsIsDeletedWholeAndNothingElse)
{
    for (const char* key : {"\\Software\\Halvern\\Old\\A\\A1\\A1x", "\\Software\\Halvern\\Old\\A\\A2",
                            "\\Software\\Halvern\\Old\\B\\B1", "\\Software\\Halvern\\Old\\B\\B2\\B2x",
                            "\\Software\\Halvern\\Keep"})
        RegWriteString(win::HKEY_CURRENT_USER, key, "v", key);
    RegDeleteKeyTree(win::HKEY_CURRENT_USER, "\\Software\\Halvern\\Old");
    const std::string file = RegistryFile(win::HKEY_CURRENT_USER);
    EXPECT_EQ(file.find("Halvern\\Old"), std::string::npos) << file;
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Halvern\\Keep]"), std::string::npos);
    EXPECT_FALSE(KeyPresent(win::HKEY_CURRENT_USER, "Software\\Halvern\\Old"));

    // Missing keys and refusals are ignored.
    RegDeleteKeyTree(win::HKEY_CURRENT_USER, "\\Software\\Halvern\\Missing");
    win::SetRegistryAccessDenied(win::HKEY_CURRENT_USER, true);
    RegDeleteKeyTree(win::HKEY_CURRENT_USER, "\\Software\\Halvern\\Keep");
    win::SetRegistryAccessDenied(win::HKEY_CURRENT_USER, false);
    EXPECT_TRUE(KeyPresent(win::HKEY_CURRENT_USER, "Software\\Halvern\\Keep"));
}

TEST_F(RegistryRoutinesTest, AnEmptyKeyNeverEmptiesTheRoot)
{
    for (const char* key : {"", "\\", "\\\\"})
        RegDeleteKeyTree(win::HKEY_CURRENT_USER, key);
    EXPECT_TRUE(KeyPresent(win::HKEY_CURRENT_USER, RunOnce));
    EXPECT_TRUE(KeyPresent(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));

    TtrwkRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft", false));
    EXPECT_FALSE(reg.DeleteKeyTree(""));
    EXPECT_FALSE(reg.DeleteKeyTree("\\"));
    EXPECT_TRUE(KeyPresent(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Windows"));
}

TEST_F(RegistryRoutinesTest, TheLibraryRegistryOpensExistingKeysWithoutFullRights)
{
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Halvern", "v", "1");
    TtrwkRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    // Opened, not created, so no create-with-full-access happens for an existing key.
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Halvern", true));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Halvern");
    ASSERT_TRUE(reg.OpenKey("Sub", true));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Halvern\\Sub");
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Halvern\\Sub"));
    // Deleting a tree relative to the current key leaves that key open.
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Halvern", false));
    ASSERT_TRUE(reg.CreateKey("Sub\\Deeper"));
    const win::HKEY current = reg.CurrentKey();
    EXPECT_TRUE(reg.DeleteKeyTree("Sub"));
    EXPECT_EQ(reg.CurrentKey(), current);
    EXPECT_EQ(reg.ReadString("v"), "1");
    EXPECT_FALSE(reg.KeyExists("Sub"));
}

TEST(RootKeysTest, EnumerationAndHandlesMapBothWays)
{
    const std::pair<TRootKeys, win::HKEY> table[] = {
        {hkClassesRoot, win::HKEY_CLASSES_ROOT},   {hkCurrentConfig, win::HKEY_CURRENT_CONFIG},
        {hkCurrentUser, win::HKEY_CURRENT_USER},   {hkDynData, win::HKEY_DYN_DATA},
        {hkLocalMachine, win::HKEY_LOCAL_MACHINE}, {hkUsers, win::HKEY_USERS},
    };
    for (const auto& [value, key] : table) {
        TtrwkRegistry reg;
        SetRootKeyEnum(reg, value);
        EXPECT_EQ(reg.RootKey(), key);
        EXPECT_EQ(HKeyToRootKey(key, hkUsers), value);
    }
    TtrwkRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    SetRootKeyEnum(reg, static_cast<TRootKeys>(6));
    EXPECT_EQ(reg.RootKey(), win::HKEY_LOCAL_MACHINE);
    EXPECT_EQ(HKeyToRootKey(reinterpret_cast<win::HKEY>(uintptr_t{0x1234}), hkDynData), hkDynData);
}

}  // namespace
