#include "installer/support/TrwkSystem.h"

#include <string_view>

#include "installer/support/TrwkExceptions.h"
#include "platform/vcl/Classes.h"
#include "platform/win/Files.h"
#include "platform/win/Modules.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"

// ---------------------------------------------------------------------------------------------------------
// Kinds of Windows

const OSSet& NTOSSet()
{
    static const OSSet set{oswinNT, oswin2K, oswinXP};
    return set;
}

const OSSet& Win9xOSSet()
{
    static const OSSet set{oswin95, oswin98, oswinME};
    return set;
}

TOSVerType ClassifyWindowsVersion(win::DWORD platformId, win::DWORD majorVersion, win::DWORD minorVersion)
{
    switch (platformId) {
    case win::VER_PLATFORM_WIN32s:
        return os31win32;
    case win::VER_PLATFORM_WIN32_WINDOWS:
        return minorVersion == 90 ? oswinME : oswin98;
    case win::VER_PLATFORM_WIN32_NT:
        if (majorVersion == 5)
            return minorVersion == 0 ? oswin2K : oswinXP;
        if (majorVersion == 4)
            return oswinNT;
        if (majorVersion <= 3)
            return oswinNT351;
        return osUnidentified;
    default:
        return osUnidentified;
    }
}

TOSVerType WindowsVersion()
{
    win::OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!win::GetVersionEx(&info))
        throw EAPIRoutines("Could not get information about the current version of Windows");
    return ClassifyWindowsVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

// ---------------------------------------------------------------------------------------------------------
// Folders and file names

namespace {

constexpr win::UINT FolderBufferSize = 261;
constexpr win::DWORD ShortPathBufferSize = 401;

// A buffer query's answer: 0 is a failure, and so is a length that did not fit.
bool Answered(win::DWORD length, win::DWORD bufferSize) { return length != 0 && length < bufferSize; }

}  // namespace

rtl::AnsiString SystemDirectory()
{
    char buffer[FolderBufferSize];
    const win::UINT length = win::GetSystemDirectory(buffer, FolderBufferSize);
    if (!Answered(length, FolderBufferSize))
        throw EAPIRoutines("Could not retrieve the system directroy from windows");
    return rtl::AnsiString(buffer, length);
}

rtl::AnsiString WindowsDirectory()
{
    char buffer[FolderBufferSize];
    const win::UINT length = win::GetWindowsDirectory(buffer, FolderBufferSize);
    if (!Answered(length, FolderBufferSize))
        throw EAPIRoutines("Could not retrieve the windows directory from windows");
    return rtl::AnsiString(buffer, length);
}

rtl::AnsiString TempFileName(bool keep)
{
    char folder[FolderBufferSize];
    const win::DWORD length = win::GetTempPath(FolderBufferSize, folder);
    char name[win::MAX_PATH + 1] = {};
    if (!Answered(length, FolderBufferSize) || win::GetTempFileName(folder, "bat", 0, name) == 0 || name[0] == 0)
        throw EAPIRoutines("Cannot create a temporary file");
    // The name is what is wanted: its placeholder must not stay behind, even after a failure that passes.
    if (!keep && !win::DeleteFile(name) && !win::DeleteFile(name))
        win::MoveFileEx(name, nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT);
    return name;
}

rtl::AnsiString ShortPathName(const rtl::AnsiString& path)
{
    char buffer[ShortPathBufferSize];
    const win::DWORD length = win::GetShortPathName(path.c_str(), buffer, ShortPathBufferSize);
    // An empty answer would end up as a name in a rename list or a batch file.
    if (!Answered(length, ShortPathBufferSize))
        throw EAPIRoutines("Could not get the short path name of " + path);
    return rtl::AnsiString(buffer, length);
}

rtl::AnsiString ShortOrGiven(const rtl::AnsiString& path)
{
    try {
        return ShortPathName(path);
    } catch (const rtl::Exception&) {
        return path;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Fields

int FieldCount(const rtl::AnsiString& text, char separator)
{
    if (text.empty())
        return 0;
    int count = 0;
    for (char c : text)
        if (c == separator)
            ++count;
    return text.back() == separator ? count : count + 1;
}

rtl::AnsiString GetField(const rtl::AnsiString& text, int n, char separator)
{
    size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const size_t found = text.find(separator, start);
        if (found == rtl::AnsiString::npos)
            return rtl::AnsiString();
        start = found + 1;
    }
    const size_t end = text.find(separator, start);
    return text.substr(start, end == rtl::AnsiString::npos ? rtl::AnsiString::npos : end - start);
}

void SplitFields(const rtl::AnsiString& text, char separator, rtl::TStrings& list)
{
    list.BeginUpdate();
    try {
        list.Clear();
        // One pass over the text: field by field from where the last one ended.
        const int count = FieldCount(text, separator);
        size_t start = 0;
        for (int i = 0; i < count; ++i) {
            const size_t end = text.find(separator, start);
            if (end == rtl::AnsiString::npos) {
                list.Add(text.substr(start));
                start = text.size();
            } else {
                list.Add(text.substr(start, end - start));
                start = end + 1;
            }
        }
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

rtl::AnsiString AddBackslash(const rtl::AnsiString& text)
{
    if (text.empty() || text.back() == '\\')
        return text;
    return text + '\\';
}

rtl::AnsiString RemoveBackslash(const rtl::AnsiString& text)
{
    if (!text.empty() && text.back() == '\\')
        return text.substr(0, text.size() - 1);
    return text;
}

rtl::AnsiString AfterColon(const rtl::AnsiString& text)
{
    const size_t colon = text.find(':');
    return colon == rtl::AnsiString::npos ? rtl::AnsiString() : text.substr(colon + 1);
}

rtl::AnsiString CleanFileName(const rtl::AnsiString& text)
{
    constexpr std::string_view dropped = "\"*:;<>?\\|";
    rtl::AnsiString result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '/')
            result += '-';
        else if (dropped.find(c) == std::string_view::npos)
            result += c;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Component names

namespace {

bool IsNameChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

rtl::AnsiString NameChars(const rtl::AnsiString& text)
{
    rtl::AnsiString result;
    for (char c : text)
        if (IsNameChar(c))
            result += c;
    return result;
}

rtl::AnsiString InstallFileNameBase(const rtl::AnsiString& base)
{
    return "IF" + NameChars(rtl::ChangeFileExt(base, "")) + "_" + NameChars(rtl::ExtractFileExt(base));
}

rtl::AnsiString ComponentNameBase(const vcl::TComponent& component, const rtl::AnsiString& base)
{
    rtl::AnsiString name = NameChars(base);
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        rtl::AnsiString className = component.ClassName();
        if (className.size() > 1 && (className[0] == 'T' || className[0] == 't'))
            className.erase(0, 1);
        name = className + name;
    }
    return name;
}

// Another component of the owner bears the name.
bool NameTaken(const vcl::TComponent& component, const rtl::AnsiString& name)
{
    const vcl::TComponent* owner = component.Owner();
    if (!owner)
        return false;
    const vcl::TComponent* holder = owner->FindComponent(name);
    return holder && holder != &component;
}

}  // namespace

void UniqueComponentName(vcl::TComponent* component, const rtl::AnsiString& base)
{
    if (!component)
        return;
    // The install file class lives in the engine, above this library; its name identifies it.
    const rtl::AnsiString stem = component->InheritsFrom("TCustomInstallFile") ? InstallFileNameBase(base)
                                                                                : ComponentNameBase(*component, base);
    // Each clash takes one name of another component, so there are at most that many of them.
    const int owned = component->Owner() ? component->Owner()->ComponentCount() : 0;
    for (int n = 0;; ++n) {
        const rtl::AnsiString name = n > 0 ? stem + rtl::IntToStr(n) : stem;
        if (NameTaken(*component, name))
            continue;
        try {
            component->SetName(name);
            return;
        } catch (const vcl::EComponentError&) {
            if (!NameTaken(*component, name) || n > owned)
                throw;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------
// Hard links

bool CreateHardLinkChecked(const rtl::AnsiString& newLinkName, const rtl::AnsiString& existingFileName,
                           win::SECURITY_ATTRIBUTES* security)
{
    win::HMODULE kernel = win::LoadLibrary("kernel32.dll");
    if (!kernel)
        throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", "from unloadable Kernel32");
    // The function came with Windows 2000; older kinds do not have it.
    auto createHardLink = reinterpret_cast<win::TCreateHardLinkA>(win::GetProcAddress(kernel, "CreateHardLinkA"));
    if (!createHardLink) {
        win::FreeLibrary(kernel);
        throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", "Kernel32");
    }
    const bool linked = createHardLink(newLinkName.c_str(), existingFileName.c_str(), security) != 0;
    win::FreeLibrary(kernel);
    return linked;
}
