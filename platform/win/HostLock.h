#pragma once
// Turns between processes of ours: an exclusive flock on a host lock file, held for the life of the object.
//
//   THostLock turn(ChangeLockFileOf(host), 5000, true);
//   if (turn.TimedOut()) ...  // another process kept its turn past the wait
//
// Not for code outside platform/win.

#include <string>

namespace win {

class THostLock {
public:
    // Waits for the lock on `lockFile`, made when missing: at most `timeoutMs`, or as long as it takes when
    // negative. With `removeWhenDone` the file goes again when the lock is released, so nothing stays
    // behind. An empty name, or a lock file that cannot be made, gives a lock that holds nothing.
    THostLock(std::string lockFile, int timeoutMs, bool removeWhenDone);
    ~THostLock();
    THostLock(const THostLock&) = delete;
    THostLock& operator=(const THostLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    // The wait ran out while another holder kept the lock.
    bool TimedOut() const { return timedOut_; }

private:
    std::string lockFile_;
    bool removeWhenDone_;
    int fd_ = -1;
    bool timedOut_ = false;
};

// The lock file that stands for changes of the host file `host`, the same for every spelling of its path
// that names the same file (case of the last name, links in the folder names); empty when the user has no
// usable lock folder.
std::string ChangeLockFileOf(const std::string& host);

}  // namespace win
