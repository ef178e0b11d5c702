#pragma once
// A program started for a test (a proxy on loopback), stopped and waited for when this goes.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class TServerProcess {
public:
    explicit TServerProcess(const std::vector<std::string>& arguments);
    ~TServerProcess();
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Whether something accepts connections on 127.0.0.1:`port` within `timeoutMs`.
    static bool WaitForPort(uint16_t port, int timeoutMs = 10000);

private:
    pid_t pid_ = -1;
};
