#include "platform/win/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/Journal.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Platform.h"
#include "platform/win/Settings.h"
#include "platform/win/WriteFaults.h"
#include "tests/platform/win/WinTestFixture.h"

namespace win {
namespace {

namespace fs = std::filesystem;

// Every byte of a literal, its terminating zero included.
template <size_t N>
std::string WithZero(const char (&text)[N])
{
    return std::string(text, N);
}

const BYTE* Bytes(const std::string& text) { return reinterpret_cast<const BYTE*>(text.data()); }

HKEY Create(HKEY root, const char* path)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

LONG OpenKey(HKEY root, const char* path, REGSAM access, HKEY* key) { return RegOpenKeyEx(root, path, 0, access, key); }

LONG SetString(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ)
{
    return RegSetValueEx(key, name, 0, type, Bytes(text), static_cast<DWORD>(text.size() + 1));
}

LONG SetDword(HKEY key, const char* name, DWORD number)
{
    return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// The raw data of a value, or nothing when it cannot be read.
std::optional<std::string> Query(HKEY key, const char* name, DWORD* type = nullptr)
{
    DWORD size = 0;
    if (RegQueryValueEx(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueEx(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

// A string value without its terminating zero.
std::optional<std::string> QueryString(HKEY root, const char* path, const char* name)
{
    HKEY key = nullptr;
    if (OpenKey(root, path, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> data = Query(key, name);
    RegCloseKey(key);
    if (data && !data->empty() && data->back() == '\0')
        data->pop_back();
    return data;
}

std::vector<std::string> SubKeyNames(HKEY key)
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        const LONG result = RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.emplace_back(name, length);
    }
}

bool KeyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (OpenKey(root, path, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class RegistryTest : public WinPrefixTest {
protected:
    std::string File(const char* name) const { return Prefix() + "/" + name; }
};

TEST_F(RegistryTest, CreatesAndOpensKeysIgnoringCase)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Scrivane Test\\Sub", 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\SCRIVANE TEST\\sub", 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    // A leading backslash is ignored; a missing key leaves the result null.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "\\Software\\Scrivane Test"));
    key = reinterpret_cast<HKEY>(uintptr_t{1});
    EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Scrivane Test\\Missing", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

    HKEY software = nullptr;
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "SOFTWARE", KEY_READ, &software), ERROR_SUCCESS);
    std::vector<std::string> names = SubKeyNames(software);
    EXPECT_NE(std::find(names.begin(), names.end(), "Scrivane Test"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "SCRIVANE TEST"), names.end());

    // Without a sub-key the old call hands the same handle back.
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKey(software, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, software);
    RegCloseKey(software);
}

TEST_F(RegistryTest, QueryValueReportsSizesAndTheDefaultValue)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Sizes");
    ASSERT_EQ(SetString(key, "Name", "hello"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    char buffer[8] = {};
    size = 3;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = 6;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueEx(key, "Other", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // A string written without its zero is kept without one, as given, and so is it after a reload.
    ASSERT_EQ(RegSetValueEx(key, "Bare", 0, REG_SZ, Bytes("abc"), 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Bare expand", 0, REG_EXPAND_SZ, Bytes("%x%"), 3), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "Bare"), "abc");
    RegCloseKey(key);
    ResetPlatform();
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Sizes", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "Bare"), "abc");
    EXPECT_EQ(Query(key, "Bare expand"), "%x%");

    // Null and empty names are the same default value.
    EXPECT_EQ(RegQueryValueEx(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetString(key, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, ""), WithZero("default"));
    ASSERT_EQ(SetString(key, "", "changed"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, nullptr), WithZero("changed"));
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationIsSortedWithoutCaseAndKeepsFirstSpellings)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Sorted");
    for (const char* name : {"gamma", "_under", "Beta", "alpha"})
        RegCloseKey(Create(key, name));
    EXPECT_EQ(SubKeyNames(key), (std::vector<std::string>{"alpha", "Beta", "gamma", "_under"}));

    char name[4];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(length, 5u);
    length = 0;
    EXPECT_EQ(RegEnumKeyEx(key, 4, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    // Value names too ignore case and keep the spelling first given.
    ASSERT_EQ(SetString(key, "Zed", "z"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "a", "first"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "A", "longer text"), ERROR_SUCCESS);
    char valueName[16];
    length = sizeof valueName;
    char data[4];
    DWORD size = sizeof data;
    EXPECT_EQ(RegEnumValue(key, 0, valueName, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_MORE_DATA);
    EXPECT_STREQ(valueName, "a");
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(size, 12u);

    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                              &maxValue, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 4u);
    EXPECT_EQ(maxSubKey, 6u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxValueName, 3u);
    EXPECT_EQ(maxValue, 12u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumeratesManyKeysForwardsBackwardsAndWhileDeleting)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Many");
    std::vector<std::string> expected;
    for (int i = 0; i < 600; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "k%04d", i);
        expected.emplace_back(name);
        HKEY volatileKey = nullptr;
        // Volatile keys are never written, which keeps this quick.
        ASSERT_EQ(RegCreateKeyEx(key, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey,
                                 nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(volatileKey);
    }
    EXPECT_EQ(SubKeyNames(key), expected);
    char name[16];
    for (DWORD i = static_cast<DWORD>(expected.size()); i-- > 0;) {
        DWORD length = sizeof name;
        ASSERT_EQ(RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(name, expected[i]);
    }
    // A clean-up that keeps some keys deletes at the index it is walking.
    std::vector<std::string> kept;
    for (DWORD i = 0;;) {
        DWORD length = sizeof name;
        if (RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (name[4] % 2 == 1) {
            ASSERT_EQ(RegDeleteKey(key, name), ERROR_SUCCESS);
        } else {
            kept.emplace_back(name);
            ++i;
        }
    }
    ASSERT_EQ(kept.size(), expected.size() / 2);
    // The usual way to empty a key: always take the first subkey.
    for (const std::string& next : kept) {
        DWORD length = sizeof name;
        ASSERT_EQ(RegEnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(name, next);
        ASSERT_EQ(RegDeleteKey(key, name), ERROR_SUCCESS);
    }
    EXPECT_TRUE(SubKeyNames(key).empty());
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingKeysFollowsTheKindOfWindows)
{
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\Branch\\Leaf"));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\Branch\\Leaf"));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\Branch\\Leaf"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\Branch\\Leaf"));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree\\Branch\\Leaf"), ERROR_FILE_NOT_FOUND);

    // Roots stay.
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, nullptr), ERROR_ACCESS_DENIED);

    // The 9x kinds take the whole tree, and the file follows.
    SetWindowsKind(TWindowsKind::Win98);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree"));
    EXPECT_EQ(ReadHost(File("system.reg")).find("SOFTWARE\\Tree"), std::string::npos);
}

TEST_F(RegistryTest, HandlesOfDeletedKeysReportKeyDeleted)
{
    HKEY parent = Create(HKEY_CURRENT_USER, "Software\\Gone");
    HKEY key = Create(parent, "Child");
    ASSERT_EQ(SetString(key, "Name", "value"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKey(parent, "Child"), ERROR_SUCCESS);

    EXPECT_EQ(Query(key, "Name"), std::nullopt);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED);
    EXPECT_EQ(SetString(key, "Name", "again"), ERROR_KEY_DELETED);
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKey(key, "Sub", &sub), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKey(key, ""), ERROR_KEY_DELETED);

    // A new key of the same name is another key; the old handle stays deleted.
    RegCloseKey(Create(parent, "Child"));
    EXPECT_EQ(RegFlushKey(key), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(reinterpret_cast<HKEY>(uintptr_t{0x1234567}), "x", "y"), ERROR_INVALID_HANDLE);

    // Handles do not outlive a reset of the platform.
    ResetPlatform();
    EXPECT_EQ(RegFlushKey(parent), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, HandleRightsAndDeniedRoots)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights");
    ASSERT_EQ(SetString(key, "Value", "old"), ERROR_SUCCESS);
    HKEY reader = nullptr;
    ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights", KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(SetString(reader, "Value", "new"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKey(reader, "Sub", &sub), ERROR_ACCESS_DENIED);

    SetRegistryAccessDenied(HKEY_LOCAL_MACHINE, true);
    HKEY writer = nullptr;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights", KEY_WRITE, &writer), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights", KEY_READ, &writer), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights", "Value"), "old");
    // Handles opened before the denial lose their write rights too.
    EXPECT_EQ(SetString(key, "Value", "new"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(key, "Value"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights\\New", &sub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights"), ERROR_ACCESS_DENIED);
    // HKEY_CLASSES_ROOT writes into the machine's tree.
    EXPECT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, ".denied", &sub), ERROR_ACCESS_DENIED);
    // Other roots are untouched.
    HKEY user = Create(HKEY_CURRENT_USER, "Software\\Allowed");
    EXPECT_EQ(SetString(user, "Value", "fine"), ERROR_SUCCESS);

    SetRegistryAccessDenied(HKEY_LOCAL_MACHINE, false);
    EXPECT_EQ(SetString(key, "Value", "new"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Rights", "Value"), "new");
}

TEST_F(RegistryTest, ClassesRootIsTheMachinesSoftwareClasses)
{
    HKEY key = Create(HKEY_CLASSES_ROOT, "\\.wkp");
    ASSERT_EQ(SetString(key, "", "ScrivaneProject"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.wkp", ""), "ScrivaneProject");
    const std::string text = ReadHost(File("system.reg"));
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.wkp]\n@=\"ScrivaneProject\"\n"), std::string::npos);
    EXPECT_EQ(RegistryFilePath(HKEY_CLASSES_ROOT), File("system.reg"));

    ResetPlatform();
    EXPECT_EQ(QueryString(HKEY_CLASSES_ROOT, ".WKP", nullptr), "ScrivaneProject");
}

TEST_F(RegistryTest, UsersDefaultAndDynamicData)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Shared");
    ASSERT_EQ(SetString(key, "Name", "mine"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(HKEY_USERS, ".DEFAULT\\Software\\Shared", "Name"), "mine");
    HKEY other = nullptr;
    EXPECT_EQ(RegCreateKey(HKEY_USERS, "Someone", &other), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_USERS, ".DEFAULT"), ERROR_ACCESS_DENIED);

    HKEY dyn = nullptr;
    EXPECT_EQ(OpenKey(HKEY_DYN_DATA, "", KEY_READ, &dyn), ERROR_BADKEY);
    EXPECT_EQ(dyn, nullptr);
    SetWindowsKind(TWindowsKind::WinME);
    EXPECT_EQ(OpenKey(HKEY_DYN_DATA, "", KEY_READ, &dyn), ERROR_SUCCESS);
    EXPECT_EQ(RegistryFilePath(HKEY_DYN_DATA), "");
    RegCloseKey(dyn);
}

TEST_F(RegistryTest, ValuesOfEveryKindSurviveAReload)
{
    struct TCase {
        const char* Name;
        DWORD Type;
        std::string Data;
    };
    const std::vector<TCase> cases = {
        {"Quoted", REG_SZ, WithZero("C:\\Program Files\\\"x\"\\")},
        {"Ansi", REG_SZ, WithZero("Caf\xe9 \x80 \xff")},
        {"Lines", REG_SZ, WithZero("one\r\ntwo")},
        {"Empty", REG_SZ, WithZero("")},
        {"Expand", REG_EXPAND_SZ, WithZero("%SystemRoot%\\x")},
        {"Multi", REG_MULTI_SZ, WithZero("a\0bc\0")},
        {"None", REG_NONE, ""},
        {"Short dword", REG_DWORD, std::string("\x01\x02", 2)},
        {"Long", REG_BINARY, std::string(300, '\xab')},
        {"With \\ and \"", REG_DWORD, std::string("\x2a\0\0\0", 4)},
    };
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kinds");
    for (const TCase& c : cases)
        ASSERT_EQ(RegSetValueEx(key, c.Name, 0, c.Type, Bytes(c.Data), static_cast<DWORD>(c.Data.size())),
                  ERROR_SUCCESS)
            << c.Name;
    HKEY temporary = nullptr;
    ASSERT_EQ(RegCreateKeyEx(key, "Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &temporary,
                             nullptr),
              ERROR_SUCCESS);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyEx(temporary, "Lasting", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &child, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);

    ResetPlatform();
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Kinds", KEY_READ, &key), ERROR_SUCCESS);
    for (const TCase& c : cases) {
        DWORD type = 99;
        EXPECT_EQ(Query(key, c.Name, &type), c.Data) << c.Name;
        EXPECT_EQ(type, c.Type) << c.Name;
    }
    EXPECT_FALSE(KeyExists(key, "Volatile"));
}

TEST_F(RegistryTest, FileIsReadableRegedit4Text)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Text");
    ASSERT_EQ(SetString(key, "Path", "C:\\Program Files\\\"x\""), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, nullptr, "default"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "Count", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Data", 0, REG_BINARY, Bytes("\x01\x02\xff"), 3), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "Expand", "%a%", REG_EXPAND_SZ), ERROR_SUCCESS);
    RegCloseKey(Create(key, "Beta"));
    RegCloseKey(Create(key, "alpha"));
    const std::string longData(40, '\x10');
    ASSERT_EQ(RegSetValueEx(key, "Wide", 0, REG_BINARY, Bytes(longData), 40), ERROR_SUCCESS);

    const std::string text = ReadHost(File("user.reg"));
    EXPECT_EQ(text.substr(0, 10), "REGEDIT4\n\n");
    std::string wide = "\"Wide\"=hex:";
    for (int i = 0; i < 40; ++i) {
        wide += "10";
        if (i < 39)
            wide += ",";
        if (i == 21)
            wide += "\\\n  ";
    }
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Text]\n"
                        "@=\"default\"\n"
                        "\"Count\"=dword:00000001\n"
                        "\"Data\"=hex:01,02,ff\n"
                        "\"Expand\"=hex(2):25,61,25,00\n"
                        "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n" +
                        wide +
                        "\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Text\\alpha]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Text\\Beta]\n\n"),
              std::string::npos)
        << text;
}

TEST_F(RegistryTest, ChangesThatChangeNothingWriteNothing)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Same");
    ASSERT_EQ(SetString(key, "Name", "value"), ERROR_SUCCESS);
    SetRegistryWriteFailure(ERROR_DISK_FULL);
    EXPECT_EQ(SetString(key, "Name", "value"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "NAME", "value"), ERROR_SUCCESS);
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Same"));
    EXPECT_EQ(SetString(key, "Name", "other"), ERROR_DISK_FULL);
}

TEST_F(RegistryTest, FailedWriteLeavesFileAndTreeAsTheyWere)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Safe");
    ASSERT_EQ(SetString(key, "Value", "old"), ERROR_SUCCESS);
    HKEY sub = Create(key, "Sub");
    const std::string before = ReadHost(File("system.reg"));
    const auto entries = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Prefix()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> filesBefore = entries();

    SetRegistryWriteFailure(ERROR_DISK_FULL);
    EXPECT_EQ(SetString(key, "Value", "new"), ERROR_DISK_FULL);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Safe", "Value"), "old");
    EXPECT_EQ(SetString(key, "Added", "x"), ERROR_DISK_FULL);
    EXPECT_EQ(Query(key, "Added"), std::nullopt);
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKey(key, "New\\Deeper", &created), ERROR_DISK_FULL);
    EXPECT_EQ(created, nullptr);
    EXPECT_FALSE(KeyExists(key, "New"));
    EXPECT_EQ(RegDeleteValue(key, "Value"), ERROR_DISK_FULL);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Safe", "Value"), "old");
    EXPECT_EQ(RegDeleteKey(key, "Sub"), ERROR_DISK_FULL);
    EXPECT_EQ(RegFlushKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(SubKeyNames(key), std::vector<std::string>{"Sub"});

    EXPECT_EQ(ReadHost(File("system.reg")), before);
    EXPECT_EQ(entries(), filesBefore);

    SetRegistryWriteFailure(ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, "Value", "new"), ERROR_SUCCESS);
    ResetPlatform();
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Safe", "Value"), "new");
}

// Writes of the registry files, each one temporary file made, written, synced and renamed.
class RegistryBatchTest : public RegistryTest {
protected:
    static constexpr long OpsPerFileWrite = 4;
    void SetUp() override
    {
        RegistryTest::SetUp();
        key_ = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch");
        ASSERT_EQ(SetString(key_, "Kept", "before"), ERROR_SUCCESS);
        machineBefore_ = ReadHost(File("system.reg"));
        userBefore_ = ReadHost(File("user.reg"));
        SetWriteFaultCounting(true);
    }
    void TearDown() override
    {
        SetWriteFaultCounting(false);
        SetRegistryWriteFailure(ERROR_SUCCESS);
        RegistryTest::TearDown();
    }
    HKEY key_ = nullptr;
    std::string machineBefore_;
    std::string userBefore_;
};

TEST_F(RegistryBatchTest, ABatchWritesEachChangedFileOnceAtItsOutermostEnd)
{
    BeginRegistryBatch();
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(SetString(key_, ("V" + std::to_string(i)).c_str(), std::to_string(i)), ERROR_SUCCESS);
    HKEY sub = Create(key_, "Sub\\Deeper");
    ASSERT_EQ(RegDeleteValue(key_, "V3"), ERROR_SUCCESS);
    BeginRegistryBatch();
    HKEY user = Create(HKEY_CURRENT_USER, "Software\\Batch");
    ASSERT_EQ(SetString(user, "U", "u"), ERROR_SUCCESS);
    EXPECT_EQ(EndRegistryBatch(), ERROR_SUCCESS);
    // Nothing reached the disk yet, while this process reads its own changes.
    EXPECT_EQ(WriteFaultCount(), 0);
    EXPECT_EQ(ReadHost(File("system.reg")), machineBefore_);
    EXPECT_EQ(ReadHost(File("user.reg")), userBefore_);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch\\Sub\\Deeper"));

    EXPECT_EQ(EndRegistryBatch(), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 2 * OpsPerFileWrite);
    // Outside a batch every change is written through again.
    ASSERT_EQ(SetString(key_, "After", "a"), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 3 * OpsPerFileWrite);
    // A batch that changed nothing writes nothing.
    BeginRegistryBatch();
    EXPECT_EQ(EndRegistryBatch(), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 3 * OpsPerFileWrite);
    RegCloseKey(sub);
    RegCloseKey(user);

    ResetPlatform();
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "V39"), "39");
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "V3"), std::nullopt);
    EXPECT_EQ(QueryString(HKEY_CURRENT_USER, "Software\\Batch", "U"), "u");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch\\Sub\\Deeper"));
}

TEST_F(RegistryBatchTest, AFailedWriteAtTheEndIsReportedAndTheNextWriteCarriesTheChanges)
{
    BeginRegistryBatch();
    ASSERT_EQ(SetString(key_, "New", "n"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key_, "Kept", "changed"), ERROR_SUCCESS);
    SetRegistryWriteFailure(ERROR_DISK_FULL);
    EXPECT_EQ(EndRegistryBatch(), ERROR_DISK_FULL);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    // The file is whole and as before, with no temporary file left beside it; memory keeps the changes.
    EXPECT_EQ(ReadHost(File("system.reg")), machineBefore_);
    for (const auto& entry : fs::directory_iterator(Prefix()))
        EXPECT_EQ(entry.path().filename().string().find("system.reg."), std::string::npos) << entry.path();
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "Kept"), "changed");

    SetRegistryWriteFailure(ERROR_SUCCESS);
    ASSERT_EQ(SetString(key_, "Later", "l"), ERROR_SUCCESS);
    ResetPlatform();
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "New"), "n");
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "Kept"), "changed");
}

TEST_F(RegistryBatchTest, ARefusedChangeInsideABatchIsRefusedAtOnce)
{
    BeginRegistryBatch();
    SetRegistryAccessDenied(HKEY_LOCAL_MACHINE, true);
    EXPECT_EQ(SetString(key_, "No", "x"), ERROR_ACCESS_DENIED);
    SetRegistryAccessDenied(HKEY_LOCAL_MACHINE, false);
    EXPECT_EQ(EndRegistryBatch(), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 0);
}

TEST_F(RegistryBatchTest, ABatchTakenBackWritesOnlyTheFilesItHadWritten)
{
    // Never written during the batch: the file is still as before and is not touched.
    BeginJournal();
    BeginRegistryBatch();
    ASSERT_EQ(SetString(key_, "Kept", "run"), ERROR_SUCCESS);
    HKEY made = Create(key_, "Made");
    RegCloseKey(made);
    EXPECT_TRUE(UndoJournal().empty());
    EXPECT_EQ(EndRegistryBatchTakenBack(), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 0);
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch", "Kept"), "before");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Batch\\Made"));

    // Written in between (as before a child process starts): written once more, back as it was.
    BeginJournal();
    BeginRegistryBatch();
    ASSERT_EQ(SetString(key_, "Kept", "run"), ERROR_SUCCESS);
    ASSERT_EQ(WritePendingRegistry(), ERROR_SUCCESS);
    EXPECT_NE(ReadHost(File("system.reg")), machineBefore_);
    ASSERT_EQ(SetString(key_, "More", "m"), ERROR_SUCCESS);
    EXPECT_TRUE(UndoJournal().empty());
    EXPECT_EQ(EndRegistryBatchTakenBack(), ERROR_SUCCESS);
    EXPECT_EQ(WriteFaultCount(), 2 * OpsPerFileWrite);
    EXPECT_EQ(ReadHost(File("system.reg")), machineBefore_);
}

TEST_F(RegistryTest, ReadOnlyPrefixRefusesChanges)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\ReadOnly");
    const std::string before = ReadHost(File("user.reg"));
    fs::permissions(Prefix(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SetString(key, "Name", "value"), ERROR_ACCESS_DENIED);
    fs::permissions(Prefix(), fs::perms::owner_all);
    EXPECT_EQ(Query(key, "Name"), std::nullopt);
    EXPECT_EQ(ReadHost(File("user.reg")), before);
}

TEST_F(RegistryTest, MalformedLinesAreReportedAndSkipped)
{
    const std::string original = "REGEDIT4\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Good]\n"
                                 "\"Kept\"=\"yes\"\n"
                                 "garbage here\n"
                                 "\"Open\"=\"no closing quote\n"
                                 "\"Number\"=dword:xyz\n"
                                 "\"Bytes\"=hex:01,zz\n"
                                 "[HKEY_CURRENT_USER\\Software\\Broken\n"
                                 "\"Lost\"=\"outside any key\"\n"
                                 "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
                                 "[HKEY_CURRENT_USER\\Software\\Also]\n"
                                 "\"After\"=dword:0000002a\n"
                                 "\"Cut\"=hex:01,02,\\";
    WriteHost(File("user.reg"), original);

    testing::internal::CaptureStderr();
    EXPECT_EQ(QueryString(HKEY_CURRENT_USER, "Software\\Good", "Kept"), "yes");
    const std::string report = testing::internal::GetCapturedStderr();
    for (int line : {5, 6, 7, 8, 9, 10, 11, 14})
        EXPECT_NE(report.find("user.reg:" + std::to_string(line) + ": "), std::string::npos) << line << report;
    EXPECT_EQ(report.find("user.reg:4:"), std::string::npos);
    EXPECT_EQ(report.find("user.reg:13:"), std::string::npos);

    HKEY good = nullptr;
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Good", KEY_ALL_ACCESS, &good), ERROR_SUCCESS);
    for (const char* name : {"Open", "Number", "Bytes"})
        EXPECT_EQ(Query(good, name), std::nullopt) << name;
    HKEY also = nullptr;
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Also", KEY_READ, &also), ERROR_SUCCESS);
    EXPECT_EQ(Query(also, "After"), std::string("\x2a\0\0\0", 4));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Broken"));

    // The skipped lines survive beside the file once it is rewritten.
    EXPECT_EQ(ReadHost(File("user.reg")), original);
    ASSERT_EQ(SetString(good, "New", "value"), ERROR_SUCCESS);
    EXPECT_EQ(ReadHost(File("user.reg.bad")), original);
    EXPECT_NE(ReadHost(File("user.reg")).find("\"Kept\"=\"yes\"\n\"New\"=\"value\"\n"), std::string::npos);
}

TEST_F(RegistryTest, FileThatIsNotRegedit4IsReadAsEmptyAndKept)
{
    const char raw[] = "Windows Registry Editor Version 5.00\n\0\x01\x02garbage\xff\n";
    const std::string original(raw, sizeof raw - 1);
    WriteHost(File("system.reg"), original);
    testing::internal::CaptureStderr();
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
              std::nullopt);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("system.reg:1: "), std::string::npos);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ""));
    EXPECT_EQ(ReadHost(File("system.reg")), original);

    ResetPlatform();
    testing::internal::CaptureStderr();
    RegCloseKey(Create(HKEY_CLASSES_ROOT, ".txt"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadHost(File("system.reg.bad")), original);
    EXPECT_EQ(ReadHost(File("system.reg")).substr(0, 10), "REGEDIT4\n\n");
}

TEST_F(RegistryTest, ReadsTheShapesOfHandWrittenFiles)
{
    WriteHost(File("user.reg"), "REGEDIT4\r\n"
                                "; a comment\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Hand]\r\n"
                                "  \"Path\" = \"C:\\Temp\\new\"  \r\n"
                                "\"Multi\"=hex(7):61,00,\\\r\n"
                                "    62,00,00\r\n"
                                "\"Upper\"=HEX:0A,Ff\r\n"
                                "\"Gone\"=\"soon\"\r\n"
                                "\"Gone\"=-\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Hand\\Removed]\r\n"
                                "[-HKEY_CURRENT_USER\\Software\\Hand\\Removed]\r\n");
    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Hand", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Query(key, "Path"), WithZero("C:\\Temp\\new"));
    DWORD type = 0;
    EXPECT_EQ(Query(key, "Multi", &type), WithZero("a\0b\0"));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(Query(key, "Upper"), std::string("\x0a\xff", 2));
    EXPECT_EQ(Query(key, "Gone"), std::nullopt);
    EXPECT_TRUE(SubKeyNames(key).empty());
}

TEST_F(RegistryTest, FreshPrefixHoldsTheValuesOfANewInstallation)
{
    const char* const shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const char* const userShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    for (const TKnownFolder& folder : ShellFolders()) {
        const HKEY root = folder.Common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        const HKEY other = folder.Common ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        EXPECT_EQ(QueryString(root, shellFolders, folder.RegistryValue.c_str()), folder.Path) << folder.RegistryValue;
        EXPECT_EQ(QueryString(other, shellFolders, folder.RegistryValue.c_str()), std::nullopt);
        HKEY key = nullptr;
        ASSERT_EQ(OpenKey(root, userShellFolders, KEY_READ, &key), ERROR_SUCCESS);
        DWORD type = 0;
        EXPECT_EQ(Query(key, folder.RegistryValue.c_str(), &type), folder.Path + '\0');
        EXPECT_EQ(type, REG_EXPAND_SZ);
        RegCloseKey(key);
    }
    const char* const current = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, current, "ProgramFilesDir"), "C:\\Program Files");
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, current, "CommonFilesDir"), "C:\\Program Files\\Common Files");
    EXPECT_NE(QueryString(HKEY_LOCAL_MACHINE, current, "ProductName"), std::nullopt);
    const char* const nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, nt, "SystemRoot"), "C:\\WINDOWS");
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, nt, "CurrentVersion"), "5.1");
    for (const char* key : {"Run", "RunOnce", "Uninstall", "SharedDLLs", "App Paths"})
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, (std::string(current) + "\\" + key).c_str())) << key;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));

    // Written at once, so a later process of the same prefix sees them too.
    EXPECT_NE(ReadHost(File("system.reg")).find("\"SystemRoot\"=\"C:\\\\WINDOWS\"\n"), std::string::npos);
    EXPECT_NE(ReadHost(File("user.reg")).find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"),
              std::string::npos);
}

}  // namespace
}  // namespace win
