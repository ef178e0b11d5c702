#include "installer/support/PendingWork.h"

#include "installer/support/TrwkRegistry.h"
#include "platform/win/Paths.h"
#include "platform/win/Registry.h"

using rtl::AnsiString;

namespace {

const char* const RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

AnsiString WithoutBackslash(const AnsiString& path)
{
    return !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
}

}  // namespace

AnsiString CanonicalPath(const AnsiString& path)
{
    char full[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetFullPathName(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        return WithoutBackslash(path);
    char spelled[win::MAX_PATH + 1] = {};
    const win::DWORD longLength = win::GetLongPathName(full, spelled, sizeof spelled);
    return WithoutBackslash(longLength > 0 && longLength < sizeof spelled ? AnsiString(spelled) : AnsiString(full));
}

bool InsideTempFolder(const AnsiString& path)
{
    char temp[win::MAX_PATH + 1] = {};
    const win::DWORD length = win::GetTempPath(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp || path.empty())
        return false;
    const AnsiString folder = CanonicalPath(temp);
    const AnsiString inside = CanonicalPath(path);
    if (folder.empty() || inside.size() <= folder.size() + 1)
        return false;
    return rtl::SameText(inside.substr(0, folder.size() + 1), folder + "\\");
}

bool RemoveFolderAndFiles(const AnsiString& folder)
{
    win::WIN32_FIND_DATA found{};
    win::HANDLE search = win::FindFirstFile((folder + "\\*.*").c_str(), &found);
    if (search != win::INVALID_HANDLE_VALUE) {
        do {
            const AnsiString name = found.cFileName;
            if (name == "." || name == ".." || (found.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY))
                continue;
            win::DeleteFile((folder + "\\" + name).c_str());
        } while (win::FindNextFile(search, &found));
        win::FindClose(search);
    }
    return win::RemoveDirectory(folder.c_str()) != 0;
}

std::vector<AnsiString> TakeBackDelayedMoves(const std::function<bool(const win::TPendingMove&)>& ours)
{
    std::vector<AnsiString> deleted;
    std::vector<win::TPendingMove> moves;
    try {
        moves = win::PendingMoves();
    } catch (const rtl::Exception&) {
        // A list that cannot be read is not ours to rewrite.
        return deleted;
    }
    for (const win::TPendingMove& move : moves) {
        if (move.Target.empty() || !ours(move))
            continue;
        // The move goes first: a source deleted with its move still listed would fail the next start.
        if (!win::CancelPendingMove(move))
            continue;
        if (win::DeleteFile(move.Source.c_str()))
            deleted.push_back(move.Source);
    }
    return deleted;
}

int RemoveRunOnceNaming(const AnsiString& text)
{
    int removed = 0;
    const AnsiString wanted = rtl::UpperCase(text);
    for (const win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
        TtrwkRegistry registry;
        registry.LazyWrite = false;
        registry.SetRootKey(root);
        if (!registry.OpenKey(RunOnceKey, false))
            continue;
        rtl::TStringList names;
        registry.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            AnsiString command;
            try {
                command = registry.ReadString(names.Strings(i));
            } catch (const rtl::Exception&) {
                continue;
            }
            if (rtl::UpperCase(command).find(wanted) != AnsiString::npos && registry.DeleteValue(names.Strings(i)))
                ++removed;
        }
        registry.CloseKey();
    }
    return removed;
}
