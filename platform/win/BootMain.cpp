// scrivane-boot: what Windows does when it starts again after a restart was asked for (WININIT.INI, the
// delayed moves, the RunOnce commands), over the prefix in SCRIVANE_PREFIX. Prints each step; exits 1 when
// a step failed.
#include <cstdio>

#include "platform/win/Platform.h"
#include "platform/win/Restart.h"

int main()
{
    win::InitializePlatform();
    const win::TBootStep report = win::RunBootStep();
    for (const std::string& line : report.Done)
        std::printf("%s\n", line.c_str());
    for (const std::string& line : report.Failed)
        std::fprintf(stderr, "failed: %s\n", line.c_str());
    return report.Failed.empty() ? 0 : 1;
}
