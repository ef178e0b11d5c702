// Ends with a socket still open and counted, as a program does that never frees its last socket: the
// socket library's finaliser then stops the library during the program's exit. Exit code 0 when all of
// that ran cleanly (the sanitizers end it otherwise). Needs SCRIVANE_PREFIX.
#include <cstdio>

#include "net/NetSocketLibrary.h"
#include "platform/wsock32/WinSock.h"
#include "platform/win/Platform.h"

int main()
{
    win::InitializePlatform();
    win::RegisterWinSockModule();
    net::NetSocketCountUp();
    const win::SOCKET socket = net::wsock::socket(win::AF_INET, win::SOCK_STREAM, 0);
    if (socket == win::INVALID_SOCKET) {
        std::fprintf(stderr, "no socket\n");
        return 2;
    }
    std::printf("socket open\n");
    return 0;
}
