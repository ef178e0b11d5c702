// The built Scrivane as several processes at once, from one program folder of the test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/rtl/IniFiles.h"
#include "platform/win/Paths.h"
#include "tests/support/ChildProcess.h"

namespace {

// Eight instances on the example project end at the same moment, each saving its settings into the
// config.ini beside the program: none is refused, and none saves defaults over the file because it read it
// while another replaced it.
TEST(ScrivaneInstances, EightEndingAtOnceKeepTheSettings)
{
    const std::filesystem::path folder = std::filesystem::path(std::getenv("SCRIVANE_PREFIX")) / "eight";
    std::filesystem::create_directories(folder);
    const std::filesystem::path program = folder / "Scrivane";
    std::error_code linkFailed;
    std::filesystem::create_hard_link(SCRIVANE_EXE, program, linkFailed);
    if (linkFailed)
        std::filesystem::copy_file(SCRIVANE_EXE, program);
    const std::string settings = "[Preferences]\r\nAutoSaveBackup=0\r\nCheckForUpdates=0\r\nUseCompression=0\r\n"
                                 "ShowHelpFile=0\r\nFile0=C:\\help\\one.wkp\r\nFile1=C:\\help\\two.wkp\r\n";
    std::ofstream(folder / "config.ini", std::ios::binary) << settings;

    std::vector<TChildRun> runs(8);
    std::vector<std::thread> threads;
    for (TChildRun& run : runs)
        threads.emplace_back([&] {
            run = RunChild(program.string(), {SCRIVANE_EXAMPLES_DIR "/demo.wkp"},
                           {{"SCRIVANE_EXIT_AFTER_START", "1"}});
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const TChildRun& run : runs) {
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(run.Err.find("Unable to write"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Err.find("nobody to answer"), std::string::npos) << run.Err;
    }

    const rtl::TIniFile ini(win::WindowsPathFromHost(folder / "config.ini"));
    rtl::TStringList values;
    ini.ReadSectionValues("Preferences", values);
    std::string expected = settings.substr(settings.find('\n') + 1);
    for (int i = 2; i < 10; ++i)
        expected += "File" + std::to_string(i) + "=\r\n";
    EXPECT_EQ(values.Text(), expected);
}

}  // namespace
