#pragma once
// The basic Windows types that more than one service of the layer hands to ported code.

#include <cstdint>

#include "platform/win/WinError.h"

namespace win {

using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

using BYTE = uint8_t;
using WORD = uint16_t;
using UINT = uint32_t;
using LANGID = WORD;
using LCID = DWORD;

// Handles are opaque; the layer's handle table (Handles.h) gives them out and never reuses a value.
struct HANDLE__;
using HANDLE = HANDLE__*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

inline constexpr DWORD MAX_PATH = 260;

// 100-nanosecond intervals since 1 January 1601 (UTC unless a function says local).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Accepted where Windows takes it; the layer keeps no security descriptors.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

}  // namespace win
