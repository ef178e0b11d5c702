// The layer's batch-file interpreter, started by CreateProcess for ".bat" files:
//   scrivane-batch <batch file, a Windows path> [arguments...]
#include <iostream>
#include <string>
#include <vector>

#include "platform/win/BatchFile.h"
#include "platform/win/CodePage.h"
#include "platform/win/Paths.h"
#include "platform/win/Platform.h"
#include "platform/win/WriteFaults.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: scrivane-batch <batch file> [arguments...]\n";
        return 1;
    }
    win::InitializePlatform();
    // The interpreter stands in for the system's own, which runs after the programs it cleans up after have
    // ended; the write-fault tests fail the programs' own writes, not its.
    win::SetWriteFaultCounting(false);
    win::UseHostWorkingDirectory();
    std::vector<std::string> arguments;
    for (int i = 2; i < argc; ++i)
        arguments.push_back(win::AnsiFromUtf8(argv[i]));
    return win::RunBatchFile(win::AnsiFromUtf8(argv[1]), arguments, std::cerr);
}
