// A second process of ours that holds a file open without sharing until its input closes: "held" on its
// output once the file is open, "failed <error>" when it cannot be.
#include <cstdio>

#include "platform/win/Files.h"
#include "platform/win/Platform.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    win::InitializePlatform();
    win::HANDLE file = win::CreateFile(argv[1], win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, nullptr);
    if (file == win::INVALID_HANDLE_VALUE) {
        std::printf("failed %u\n", static_cast<unsigned>(win::GetLastError()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    win::CloseHandle(file);
    return 0;
}
