#pragma once
// Process-wide state of the Windows stand-in: the prefix, the last error and the reset of every service.

#include <cstdint>
#include <functional>
#include <string>

namespace win {

// Host folder of the prefix: $SCRIVANE_PREFIX, or ~/.scrivane. The first use of a new prefix creates the
// drive folders, the Windows tree and the registry of a fresh installation.
std::string PrefixFolder();

// Installs the Windows-path file system under the runtime library and prepares the prefix. Program bodies
// and the test main call it once; calling it again is harmless.
void InitializePlatform();

// Forgets every service's process-wide state (open handles, registry cache, settings, last error), so a
// test can play another run of a program; the next use reads the prefix afresh ($SCRIVANE_PREFIX included).
void ResetPlatform();

// Services register what ResetPlatform must clear.
void RegisterResetHook(std::function<void()> hook);

uint32_t GetLastError();
void SetLastError(uint32_t error);

}  // namespace win
