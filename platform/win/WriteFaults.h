#pragma once
// A test hook in the layer's write path: every operation that changes the host file system inside the
// prefix (create, write, fsync, rename, delete, folder, link, truncate, times, attributes) asks here first,
// so a test can fail any single one of a whole run and check what the run leaves behind.
//
// Driven by the environment, so that every program of a run (the loader, the setup, the uninstaller, the
// batch files they start) counts in one sequence:
//   SCRIVANE_FAULT_COUNTER=<host file>   counts the operations (created when missing; shared by processes)
//   SCRIVANE_FAULT_AT=<n>                the n-th operation, counting from 1, fails as a full disk would
//   SCRIVANE_FAULT_LOG=<host file>       appends "<n> <operation> <host path>" for each one
// Without SCRIVANE_FAULT_COUNTER nothing is counted and nothing fails.

#include <string>

namespace win {

// Counts one write operation on `host`; true when it is the one to fail, with errno set to ENOSPC. Paths
// outside the prefix are not counted.
bool InjectedWriteFault(const char* operation, const std::string& host);

// Whether a host path lies inside the prefix (the prefix folder itself does not).
bool HostInsidePrefix(const std::string& host);

// For tests in one process: counts and fails as the variables say, from the next operation on (at 0: none
// fails); the counter is kept in memory. SetWriteFaultCounting(false) stops counting.
void SetWriteFaultCounting(bool counting, long failAt = 0);
long WriteFaultCount();

}  // namespace win
