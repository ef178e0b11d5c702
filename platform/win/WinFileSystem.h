#pragma once
// The runtime library's file seam over the Windows file functions of this layer.

#include "platform/rtl/FileSystem.h"

namespace win {

// The one instance that InitializePlatform installs with rtl::SetFileSystem.
rtl::IFileSystem& WindowsFileSystem();

}  // namespace win
