#include "installer/engine/InstallRollback.h"

#include <cstdint>
#include <memory>

#include "installer/support/TrwkArchive.h"
#include "installer/support/TrwkSystem.h"
#include "platform/win/Files.h"

using rtl::AnsiString;

namespace {

AnsiString ParentFolder(const AnsiString& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == AnsiString::npos ? AnsiString() : path.substr(0, slash);
}

bool FolderExists(const AnsiString& folder)
{
    const win::DWORD attributes = win::GetFileAttributes(folder.c_str());
    return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY);
}

// A key with its values and subkeys, as read at one moment.
struct TKeyImage {
    std::vector<std::pair<AnsiString, TRegRawValue>> Values;
    std::vector<std::pair<AnsiString, TKeyImage>> SubKeys;
};

bool ReadKeyImage(win::HKEY root, const AnsiString& key, TKeyImage& image)
{
    std::vector<AnsiString> values, subKeys;
    {
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        if (!registry.OpenKeyReadOnly(key))
            return false;
        values = RegistryNames(registry, false);
        subKeys = RegistryNames(registry, true);
    }
    for (const AnsiString& name : values) {
        TRegRawValue value;
        if (RegReadRawValue(root, key, name, value))
            image.Values.emplace_back(name, std::move(value));
    }
    for (const AnsiString& name : subKeys) {
        TKeyImage sub;
        if (ReadKeyImage(root, key + "\\" + name, sub))
            image.SubKeys.emplace_back(name, std::move(sub));
    }
    return true;
}

void WriteKeyImage(win::HKEY root, const AnsiString& key, const TKeyImage& image)
{
    {
        TtrwkRegistry registry;
        registry.SetRootKey(root);
        registry.OpenKey(key, true);
    }
    for (const auto& [name, value] : image.Values)
        RegWriteRawValue(root, key, name, value);
    for (const auto& [name, sub] : image.SubKeys)
        WriteKeyImage(root, key + "\\" + name, sub);
}

bool KeyExists(win::HKEY root, const AnsiString& key)
{
    TtrwkRegistry registry;
    registry.SetRootKey(root);
    return registry.KeyExists(key);
}

// Deletes `key` and then its parents while they are empty, no higher than `outermost`.
void RemoveEmptyKeys(win::HKEY root, AnsiString key, const AnsiString& outermost)
{
    while (key.size() >= outermost.size() && !key.empty()) {
        {
            TtrwkRegistry registry;
            registry.SetRootKey(root);
            if (registry.OpenKeyReadOnly(key) && (registry.HasSubKeys() || !RegistryNames(registry, false).empty()))
                return;
        }
        RegDeleteKeyTree(root, key);
        if (rtl::SameText(key, outermost))
            return;
        key = ParentFolder(key);
    }
}

}  // namespace

void TInstallRollback::Begin(const AnsiString& uninstallKey)
{
    Commit();
    active_ = true;
    // The records of earlier runs stay as they were; a key this run made goes.
    auto image = std::make_shared<TKeyImage>();
    const bool existed = ReadKeyImage(win::HKEY_LOCAL_MACHINE, uninstallKey, *image);
    Note([uninstallKey, image, existed] {
        RegDeleteKeyTree(win::HKEY_LOCAL_MACHINE, uninstallKey);
        if (existed)
            WriteKeyImage(win::HKEY_LOCAL_MACHINE, uninstallKey, *image);
    });
}

void TInstallRollback::CreateFolders(const AnsiString& folder)
{
    std::vector<AnsiString> missing;
    if (active_) {
        for (AnsiString up = RemoveBackslash(folder); !up.empty() && !FolderExists(up); up = ParentFolder(up))
            missing.push_back(up);
    }
    CreateFolderAndParents(folder);
    // Outermost first, so the undo (newest first) removes the deepest first.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (FolderExists(*it))
            Note([path = *it] { win::RemoveDirectory(path.c_str()); });
    }
}

void TInstallRollback::BeforeFileWrite(const AnsiString& path)
{
    if (!active_ || !written_.insert(rtl::UpperCase(path)).second)
        return;
    const win::DWORD attributes = win::GetFileAttributes(path.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES || (attributes & win::FILE_ATTRIBUTE_DIRECTORY)) {
        Note([path] {
            win::SetFileAttributes(path.c_str(), win::FILE_ATTRIBUTE_NORMAL);
            win::DeleteFile(path.c_str());
        });
        return;
    }
    const AnsiString copy = TempFileName(false);
    if (!win::CopyFile(path.c_str(), copy.c_str(), win::TRUE))
        throw rtl::Exception(rtl::Format("Cannot keep a copy of %s to put it back should the installation fail.", path));
    copies_.push_back(copy);
    Note([path, copy, attributes] {
        win::SetFileAttributes(path.c_str(), win::FILE_ATTRIBUTE_NORMAL);
        if (win::CopyFile(copy.c_str(), path.c_str(), win::FALSE))
            win::SetFileAttributes(path.c_str(), attributes);
    });
}

void TInstallRollback::BeforeValueWrite(win::HKEY root, const AnsiString& key, const AnsiString& name)
{
    if (!active_ ||
        !values_.insert(rtl::UpperCase(rtl::IntToStr(static_cast<int>(reinterpret_cast<uintptr_t>(root))) + "|" +
                                       RemoveBackslash(key) + "|" + name))
             .second)
        return;
    // The outermost key the write will create, walking down from the root.
    const AnsiString path = RemoveBackslash(key);
    AnsiString created;
    for (size_t end = path.find('\\', 1);; end = path.find('\\', end + 1)) {
        const AnsiString part = end == AnsiString::npos ? path : path.substr(0, end);
        if (!part.empty() && part != "\\" && !KeyExists(root, part)) {
            created = part;
            break;
        }
        if (end == AnsiString::npos)
            break;
    }
    if (!created.empty())
        Note([root, path, created] { RemoveEmptyKeys(root, path, created); });
    TRegRawValue previous;
    if (RegReadRawValue(root, key, name, previous)) {
        Note([root, key, name, previous] { RegWriteRawValue(root, key, name, previous); });
    } else {
        Note([root, key, name] {
            TtrwkRegistry registry;
            registry.SetRootKey(root);
            if (registry.OpenKey(key, false) && registry.ValueExists(name))
                registry.DeleteValue(name);
        });
    }
}

void TInstallRollback::Undo()
{
    if (!active_)
        return;
    std::vector<std::function<void()>> undo;
    undo.swap(undo_);
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        try {
            (*it)();
        } catch (const rtl::Exception&) {
            // The rest is still put back.
        }
    }
    DropCopies();
}

void TInstallRollback::Commit()
{
    undo_.clear();
    DropCopies();
}

void TInstallRollback::DropCopies()
{
    for (const AnsiString& copy : copies_) {
        win::SetFileAttributes(copy.c_str(), win::FILE_ATTRIBUTE_NORMAL);
        win::DeleteFile(copy.c_str());
    }
    copies_.clear();
    written_.clear();
    values_.clear();
    active_ = false;
}

TInstallRollback& InstallRollback()
{
    static TInstallRollback rollback;
    return rollback;
}
