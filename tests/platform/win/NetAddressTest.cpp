#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/rtl/SysUtils.h"
#include "platform/win/NetAddress.h"
#include "platform/win/Settings.h"
#include "tests/platform/win/WinTestFixture.h"

namespace {

class NetAddressTest : public WinPrefixTest {
protected:
    void TearDown() override
    {
        unsetenv("SCRIVANE_PORT_MAP");
        WinPrefixTest::TearDown();
    }
};

TEST_F(NetAddressTest, HostsFileLiesWhereTheKindOfWindowsKeepsIt)
{
    EXPECT_EQ(win::HostsFilePath(), "C:\\WINDOWS\\system32\\drivers\\etc\\hosts");
    EXPECT_EQ(win::HostsFileAddress("files.example"), std::nullopt);  // no file: no names

    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"), "127.0.0.1 files.example\n");
    WriteHost(DriveC("WINDOWS/hosts"), "127.0.0.2 files.example\n");
    EXPECT_EQ(win::HostsFileAddress("files.example"), "127.0.0.1");

    win::SetWindowsKind(win::TWindowsKind::Win98);
    EXPECT_EQ(win::HostsFilePath(), "C:\\WINDOWS\\hosts");
    EXPECT_EQ(win::HostsFileAddress("files.example"), "127.0.0.2");
}

TEST_F(NetAddressTest, HostsFileLinesCommentsCaseAndBadAddresses)
{
    WriteHost(DriveC("WINDOWS/system32/drivers/etc/hosts"),
              "# a comment naming setup.example\r\n"
              "\r\n"
              "not-an-address setup.example\r\n"
              "127.0.0.9\tSETUP.Example   mirror # trailing comment\r\n"
              "127.0.0.8 setup.example\r\n"
              "::1 six.example\n"
              "127.0.0.7\n");
    EXPECT_EQ(win::HostsFileAddress("setup.example"), "127.0.0.9");  // first valid line wins, any case
    EXPECT_EQ(win::HostsFileAddress("Mirror"), "127.0.0.9");
    EXPECT_EQ(win::HostsFileAddress("six.example"), "::1");
    EXPECT_EQ(win::HostsFileAddress("comment"), std::nullopt);
    EXPECT_EQ(win::HostsFileAddress("127.0.0.7"), std::nullopt);
    EXPECT_EQ(win::HostsFileAddress(""), std::nullopt);
}

TEST_F(NetAddressTest, PortMapRedirectsOnlyWhatItNames)
{
    EXPECT_EQ(win::MappedPort(80), 80);  // unset: nothing changes
    setenv("SCRIVANE_PORT_MAP", "21=2121, 80 = 8080,", 1);
    EXPECT_EQ(win::MappedPort(21), 2121);
    EXPECT_EQ(win::MappedPort(80), 8080);
    EXPECT_EQ(win::MappedPort(443), 443);

    EXPECT_TRUE(win::ParsePortMap("").empty());
    EXPECT_EQ(win::ParsePortMap("1=65535").at(1), 65535);
    for (const char* bad : {"80", "80=", "=80", "80=0", "80=65536", "a=1", "80=8080=1", "-1=5"}) {
        try {
            win::ParsePortMap(bad);
            ADD_FAILURE() << bad << " was accepted";
        } catch (const rtl::Exception& e) {
            EXPECT_NE(e.Message().find("SCRIVANE_PORT_MAP: '"), std::string::npos) << e.Message();
        }
    }
    setenv("SCRIVANE_PORT_MAP", "80:8080", 1);
    EXPECT_THROW(win::MappedPort(80), rtl::Exception);
}

}  // namespace
