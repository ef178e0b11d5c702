// Changes of one file from several threads and processes take turns: the host lock under them, and
// profile writers as separate programs on one config.ini.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "platform/rtl/IniFiles.h"
#include "platform/win/HostLock.h"
#include "tests/platform/win/WinTestFixture.h"
#include "tests/support/ChildProcess.h"

namespace win {
namespace {

using namespace std::chrono_literals;
using ProfileTurnsTest = WinPrefixTest;

TEST_F(ProfileTurnsTest, OneFileHasOneLockFileOutsideEveryFolderOfFiles)
{
    std::filesystem::create_directories(DriveC("app"));
    std::filesystem::create_symlink(DriveC("app"), DriveC("link"));
    const std::string lock = ChangeLockFileOf(DriveC("app/config.ini"));
    EXPECT_EQ(ChangeLockFileOf(DriveC("link/CONFIG.INI")), lock);
    EXPECT_NE(ChangeLockFileOf(DriveC("app/other.ini")), lock);
    EXPECT_EQ(lock.rfind(Prefix(), 0), std::string::npos) << lock;
}

// The lock file goes with each turn, so a waiter may hold a file that lost its name meanwhile; it must not
// count that as a turn beside the next holder's.
TEST(HostLockTest, ATurnIsOneHoldersAloneAndItsFileGoesWithIt)
{
    const std::string file = ChangeLockFileOf("/nowhere/turns-" + std::to_string(::getpid()) + ".ini");
    std::atomic<int> holders{0};
    std::atomic<bool> shared{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                THostLock turn(file, 10000, true);
                ASSERT_TRUE(turn.Held());
                if (++holders > 1)
                    shared = true;
                std::this_thread::sleep_for(100us);
                --holders;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(shared);
    EXPECT_FALSE(std::filesystem::exists(file));

    THostLock held(file, 0, true);
    const auto start = std::chrono::steady_clock::now();
    THostLock waiting(file, 150, true);
    EXPECT_TRUE(waiting.TimedOut());
    EXPECT_FALSE(waiting.Held());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

// Eight programs save their settings into one config.ini at once, round after round: none fails, none
// loses another's keys, and no temporary or lock file stays beside the file.
TEST_F(ProfileTurnsTest, EightProgramsChangeOneFileAtOnceAndLoseNothing)
{
    constexpr int Writers = 8;
    constexpr int Rounds = 12;
    std::filesystem::create_directories(DriveC("Program Files/Scrivane"));
    const std::string ini = "C:\\Program Files\\Scrivane\\config.ini";
    const std::string start = Prefix() + "/start";
    std::vector<TChildRun> runs(Writers);
    std::vector<std::thread> threads;
    for (int i = 0; i < Writers; ++i)
        threads.emplace_back([&, i] {
            runs[i] = RunChild(PROFILE_WRITER, {ini, std::to_string(i), std::to_string(Rounds), start},
                               {{"SCRIVANE_PREFIX", Prefix()}});
        });
    for (int ready = 0, waited = 0; ready < Writers && waited < 30000; waited += 10) {
        std::this_thread::sleep_for(10ms);
        ready = 0;
        for (int i = 0; i < Writers; ++i)
            ready += std::filesystem::exists(start + "." + std::to_string(i));
    }
    WriteHost(start, "");
    for (std::thread& thread : threads)
        thread.join();

    std::set<std::string> lastValues;
    for (int i = 0; i < Writers; ++i) {
        EXPECT_EQ(runs[i].ExitCode, 0) << runs[i].Err;
        const std::string id = std::to_string(i);
        const std::string last = id + "-" + std::to_string(Rounds - 1);
        EXPECT_EQ(rtl::GetPrivateProfileString("Writers", "Key" + id, "", 64, ini), last) << "writer " << id;
        EXPECT_FALSE(rtl::TIniFile(ini).SectionExists("Own" + id));
        lastValues.insert(last);
    }
    EXPECT_EQ(lastValues.count(rtl::GetPrivateProfileString("Shared", "Last", "", 64, ini)), 1u);
    rtl::TStringList sections;
    rtl::TIniFile(ini).ReadSections(sections);
    EXPECT_EQ(sections.Count(), 2) << sections.Text();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(DriveC("Program Files/Scrivane")))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"config.ini"});
    EXPECT_FALSE(std::filesystem::exists(ChangeLockFileOf(DriveC("Program Files/Scrivane/config.ini"))));
}

}  // namespace
}  // namespace win
