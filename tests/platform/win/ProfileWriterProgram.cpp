// One of several programs that change one profile file at the same moment (ProfileTurnsTest starts them):
//
//   profile_writer <file (Windows path)> <id> <rounds> <start file (host path)>
//
// Says it is ready with "<start file>.<id>", then waits for the start file. Each round writes the writer's
// own key, the key all writers share, and a section of its own that it erases again, then reads its key
// back. Exit code 0 when every call did what it should; otherwise 1, with what failed on stderr.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/rtl/IniFiles.h"
#include "platform/win/Platform.h"

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    win::InitializePlatform();
    const std::string file = argv[1];
    const std::string id = argv[2];
    const int rounds = std::stoi(argv[3]);
    const std::string start = argv[4];
    std::ofstream(start + "." + id).put('\n');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(start)) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "writer %s: no start\n", id.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int failures = 0;
    const auto check = [&](bool done, const std::string& what) {
        if (done)
            return;
        ++failures;
        std::fprintf(stderr, "writer %s: %s failed\n", id.c_str(), what.c_str());
    };
    for (int round = 0; round < rounds; ++round) {
        const std::string value = id + "-" + std::to_string(round);
        check(rtl::WritePrivateProfileString("Writers", "Key" + id, value, file), "writing Key" + id);
        check(rtl::WritePrivateProfileString("Shared", "Last", value, file), "writing Last");
        check(rtl::WritePrivateProfileString("Own" + id, "x", value, file) &&
                  rtl::WritePrivateProfileString("Own" + id, std::nullopt, std::nullopt, file),
              "writing and erasing Own" + id);
        check(rtl::GetPrivateProfileString("Writers", "Key" + id, "", 64, file) == value, "reading Key" + id);
    }
    return failures == 0 ? 0 : 1;
}
