#include "platform/win/WriteFaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/win/Platform.h"

namespace win {

namespace {

struct TFaultState {
    std::mutex Lock;
    bool Read = false;
    std::string Counter;  // host file shared by the processes of a run; empty: counted in memory
    std::string Log;
    bool Counting = false;
    long FailAt = 0;
    long Count = 0;  // in memory
};

TFaultState& State()
{
    static TFaultState state;
    return state;
}

void ReadEnvironment(TFaultState& state)
{
    if (state.Read)
        return;
    state.Read = true;
    if (const char* counter = std::getenv("SCRIVANE_FAULT_COUNTER"); counter && *counter) {
        state.Counter = counter;
        state.Counting = true;
        if (const char* at = std::getenv("SCRIVANE_FAULT_AT"))
            state.FailAt = std::strtol(at, nullptr, 10);
        if (const char* log = std::getenv("SCRIVANE_FAULT_LOG"))
            state.Log = log;
    }
}

// The next number of the run's sequence, taken in turn with the other processes; 0 when it cannot be had.
long NextSharedNumber(const std::string& counter)
{
    const int fd = ::open(counter.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return 0;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    char text[32] = {};
    const ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
    const long number = (length > 0 ? std::strtol(text, nullptr, 10) : 0) + 1;
    const int size = std::snprintf(text, sizeof text, "%020ld\n", number);
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, text, static_cast<size_t>(size), 0);
    ::close(fd);  // lets the lock go
    return number;
}

void AppendLog(const std::string& log, long number, const char* operation, const std::string& host)
{
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string line = std::to_string(number) + " " + operation + " " + host + "\n";
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

}  // namespace

bool HostInsidePrefix(const std::string& host)
{
    const std::string prefix = PrefixFolder();
    return !prefix.empty() && host.size() > prefix.size() && host.compare(0, prefix.size(), prefix) == 0 &&
           host[prefix.size()] == '/';
}

bool InjectedWriteFault(const char* operation, const std::string& host)
{
    TFaultState& state = State();
    long number = 0;
    {
        std::lock_guard lock(state.Lock);
        ReadEnvironment(state);
        if (!state.Counting || !HostInsidePrefix(host))
            return false;
        number = state.Counter.empty() ? ++state.Count : NextSharedNumber(state.Counter);
        if (!state.Log.empty())
            AppendLog(state.Log, number, operation, host);
    }
    if (number == 0 || number != state.FailAt)
        return false;
    errno = ENOSPC;
    return true;
}

void SetWriteFaultCounting(bool counting, long failAt)
{
    TFaultState& state = State();
    std::lock_guard lock(state.Lock);
    state.Read = true;
    state.Counter.clear();
    state.Log.clear();
    state.Counting = counting;
    state.FailAt = failAt;
    state.Count = 0;
}

long WriteFaultCount()
{
    TFaultState& state = State();
    std::lock_guard lock(state.Lock);
    return state.Count;
}

}  // namespace win
