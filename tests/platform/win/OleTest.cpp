// Type libraries registered and unregistered again: unregistering takes back exactly one language of one
// version, and the keys it shares with other languages and versions only with the last of them.
#include "platform/win/Ole.h"

#include <gtest/gtest.h>

#include "platform/win/Registry.h"
#include "tests/platform/win/TypeLibraryBytes.h"
#include "tests/platform/win/WinTestFixture.h"

namespace win {
namespace {

const std::array<uint8_t, 16> Guid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::string LibraryKey = "TypeLib\\{04030201-0605-0807-090A-0B0C0D0E0F10}";

class OleTest : public WinPrefixTest {
protected:
    // Writes the library file and registers it from there.
    void Register(const std::string& name, DWORD lcid, WORD major, WORD minor)
    {
        WriteHost(DriveC("lib/" + name), TypeLibraryBytes(Guid, lcid, major, minor, "C:\\Help\\lib.hlp"));
        const std::string path = "C:\\lib\\" + name;
        TTypeLib* library = nullptr;
        ASSERT_EQ(LoadTypeLib(path.c_str(), &library), S_OK);
        EXPECT_EQ(RegisterTypeLib(library, path.c_str(), "C:\\Help"), S_OK);
        library->Release();
    }

    static bool Exists(const std::string& key)
    {
        HKEY opened = nullptr;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
            return false;
        RegCloseKey(opened);
        return true;
    }
};

TEST_F(OleTest, UnregisteringTakesBackOneLanguageAndTheSharedKeysWithTheLast)
{
    Register("en.tlb", 0x409, 1, 0);
    Register("de.tlb", 0x407, 1, 0);
    Register("two.tlb", 0x409, 2, 0xA);
    ASSERT_TRUE(Exists(TypeLibPathKey(Guid, 1, 0, 0x409)));
    EXPECT_EQ(TypeLibPathKey(Guid, 2, 0xA, 0x409), LibraryKey + "\\2.a\\409\\win32");

    // Another language of 1.0 keeps the version's keys.
    EXPECT_EQ(UnRegisterTypeLib(Guid, 1, 0, 0x409, 1), S_OK);
    EXPECT_FALSE(Exists(LibraryKey + "\\1.0\\409"));
    EXPECT_TRUE(Exists(LibraryKey + "\\1.0\\407\\win32"));
    EXPECT_TRUE(Exists(LibraryKey + "\\1.0\\FLAGS"));
    EXPECT_TRUE(Exists(LibraryKey + "\\1.0\\HELPDIR"));
    // Not registered (any more): nothing is touched.
    EXPECT_EQ(UnRegisterTypeLib(Guid, 1, 0, 0x409, 1), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(UnRegisterTypeLib(Guid, 3, 0, 0x407, 1), TYPE_E_REGISTRYACCESS);
    EXPECT_TRUE(Exists(LibraryKey + "\\1.0\\407\\win32"));

    // The last language takes the version with it; another version keeps the library's key.
    EXPECT_EQ(UnRegisterTypeLib(Guid, 1, 0, 0x407, 1), S_OK);
    EXPECT_FALSE(Exists(LibraryKey + "\\1.0"));
    EXPECT_TRUE(Exists(LibraryKey + "\\2.a\\HELPDIR"));
    EXPECT_EQ(UnRegisterTypeLib(Guid, 2, 0xA, 0x409, 1), S_OK);
    EXPECT_FALSE(Exists(LibraryKey));
    EXPECT_TRUE(Exists("TypeLib"));
}

}  // namespace
}  // namespace win
