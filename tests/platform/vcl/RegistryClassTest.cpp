#include "platform/vcl/Registry.h"

#include <gtest/gtest.h>

#include "platform/rtl/Classes.h"
#include "platform/win/Registry.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

using vcl::TRegistry;
using RegistryClassTest = WinPrefixTest;

std::vector<std::string> Lines(const rtl::TStrings& list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

TEST_F(RegistryClassTest, RelativeAndAbsoluteKeysBuildTheCurrentPath)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), win::HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Halvern", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Halvern");
    ASSERT_TRUE(reg.OpenKey("Scrivane\\1.0", true));  // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Halvern\\Scrivane\\1.0");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Halvern", false));  // absolute again
    EXPECT_EQ(reg.CurrentPath(), "Software\\Halvern");
    EXPECT_TRUE(reg.KeyExists("Scrivane\\1.0"));
    EXPECT_TRUE(reg.KeyExists("\\Software\\Halvern\\Scrivane"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Nobody"));
    EXPECT_FALSE(reg.OpenKey("Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Halvern");  // a failed open keeps the key
    reg.CloseKey();
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_EQ(reg.CurrentPath(), "");
    // Without an open key a relative name starts at the root.
    EXPECT_TRUE(reg.KeyExists("Software\\Halvern\\Scrivane\\1.0"));
}

TEST_F(RegistryClassTest, TypedValuesRoundTripAndWrongTypesAreRefused)
{
    TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Halvern", true));
    reg.WriteString("Name", "Café");
    reg.WriteExpandString("Path", "%SystemRoot%\\x");
    reg.WriteInteger("Count", -7);
    reg.WriteFloat("Ratio", 2.5);
    reg.WriteDateTime("When", rtl::EncodeDate(2003, 4, 5) + 0.25);
    const unsigned char bytes[] = {0, 1, 2, 255};
    reg.WriteBinaryData("Bytes", bytes, sizeof bytes);

    EXPECT_EQ(reg.ReadString("Name"), "Café");
    EXPECT_EQ(reg.ReadString("Path"), "%SystemRoot%\\x");
    EXPECT_EQ(reg.GetDataType("Path"), vcl::rdExpandString);
    EXPECT_EQ(reg.ReadInteger("Count"), -7);
    EXPECT_DOUBLE_EQ(reg.ReadFloat("Ratio"), 2.5);
    EXPECT_DOUBLE_EQ(reg.ReadDateTime("When"), rtl::EncodeDate(2003, 4, 5) + 0.25);
    EXPECT_EQ(reg.GetDataSize("Ratio"), 8);
    unsigned char back[8] = {};
    EXPECT_EQ(reg.ReadBinaryData("Bytes", back, sizeof back), 4);
    EXPECT_EQ(back[3], 255);
    EXPECT_THROW(reg.ReadBinaryData("Bytes", back, 2), vcl::ERegistryException);  // does not fit

    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);
    EXPECT_THROW(reg.ReadInteger("Missing"), vcl::ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Name"), vcl::ERegistryException);
    EXPECT_THROW(reg.ReadString("Count"), vcl::ERegistryException);
    EXPECT_THROW(reg.ReadFloat("Count"), vcl::ERegistryException);
    EXPECT_THROW(reg.ReadFloat("Bytes"), vcl::ERegistryException);  // binary, but not 8 bytes

    rtl::TStringList names;
    reg.GetValueNames(names);
    EXPECT_EQ(Lines(names), (std::vector<std::string>{"Bytes", "Count", "Name", "Path", "Ratio", "When"}));
    EXPECT_TRUE(reg.DeleteValue("Count"));
    EXPECT_FALSE(reg.ValueExists("Count"));
    EXPECT_FALSE(reg.DeleteValue("Count"));

    // Written through to the machine's registry file.
    const std::string file = ReadHost(win::RegistryFilePath(win::HKEY_LOCAL_MACHINE));
    EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern]"), std::string::npos);
    EXPECT_NE(file.find("\"Ratio\"=hex:"), std::string::npos);
}

TEST_F(RegistryClassTest, KeysAreListedCreatedAndDeletedWithTheirTrees)
{
    TRegistry reg;
    ASSERT_TRUE(reg.CreateKey("\\Software\\Tree\\A\\A1"));
    ASSERT_TRUE(reg.CreateKey("\\Software\\Tree\\B"));
    EXPECT_EQ(reg.CurrentKey(), nullptr);  // creating does not open
    ASSERT_TRUE(reg.OpenKey("\\Software\\Tree", false));
    EXPECT_TRUE(reg.HasSubKeys());
    rtl::TStringList keys;
    reg.GetKeyNames(keys);
    EXPECT_EQ(Lines(keys), (std::vector<std::string>{"A", "B"}));
    // NT refuses to delete a key with subkeys; the class deletes the whole tree.
    EXPECT_TRUE(reg.DeleteKey("A"));
    EXPECT_FALSE(reg.KeyExists("A"));
    EXPECT_FALSE(reg.DeleteKey(""));  // never the open key itself
    EXPECT_TRUE(reg.KeyExists("B"));

    // A read-only open refuses writes.
    TRegistry reader;
    ASSERT_TRUE(reader.OpenKeyReadOnly("\\Software\\Tree"));
    EXPECT_THROW(reader.WriteString("x", "y"), vcl::ERegistryException);
}

TEST_F(RegistryClassTest, ANonLazyKeyIsFlushedAndARootChangeClosesTheKey)
{
    TRegistry reg;
    reg.LazyWrite = false;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Flush", true));
    reg.WriteInteger("n", 1);
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_NE(ReadHost(win::RegistryFilePath(win::HKEY_CURRENT_USER)).find("\"n\"=dword:00000001"), std::string::npos);
}

}  // namespace
