#include "platform/rtl/FileSystem.h"

namespace rtl {

namespace {
IFileSystem* installed = nullptr;
}

IFileSystem& FileSystem()
{
    if (!installed)
        throw Exception("No file system is installed (the platform was not initialised)");
    return *installed;
}

void SetFileSystem(IFileSystem* fs) { installed = fs; }

}  // namespace rtl
