#include "tool/FileVersion.h"

#include <vector>

#include "platform/win/SystemInfo.h"
#include "platform/win/Version.h"

rtl::AnsiString GetFileVersionString()
{
    // Host folders can make paths longer than MAX_PATH.
    char fileName[4096] = {};
    const win::DWORD length = win::GetModuleFileName(nullptr, fileName, sizeof fileName);
    if (length == 0 || length >= sizeof fileName)
        return {};
    return GetFileVersionString(rtl::AnsiString(fileName, length));
}

rtl::AnsiString GetFileVersionString(const rtl::AnsiString& fileName)
{
    rtl::AnsiString result;
    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(fileName.c_str(), &handle);
    if (size == 0)
        return result;
    // The buffer goes with the vector on every way out.
    std::vector<char> buffer(size);
    if (!win::GetFileVersionInfo(fileName.c_str(), handle, size, buffer.data()))
        return result;
    void* value = nullptr;
    win::UINT valueLength = 0;
    if (win::VerQueryValue(buffer.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &valueLength) &&
        value != nullptr && valueLength > 0) {
        // A zero-terminated text inside the buffer; never read past what the query gave.
        const char* text = static_cast<const char*>(value);
        size_t n = 0;
        while (n < valueLength && text[n] != '\0')
            ++n;
        result.assign(text, n);
    }
    return result;
}
