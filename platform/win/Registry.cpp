#include "platform/win/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/win/CodePage.h"
#include "platform/win/HostIo.h"
#include "platform/win/Journal.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Platform.h"
#include "platform/win/Settings.h"
#include "platform/win/WriteFaults.h"

namespace win {

namespace {

namespace fs = std::filesystem;

// Limits of the Windows registry; they also keep every walk of the tree shallow.
constexpr size_t MaxKeyNameLength = 255;
constexpr size_t MaxValueNameLength = 16383;
constexpr int MaxKeyDepth = 512;

constexpr REGSAM GenericRead = 0x80000000;
constexpr REGSAM GenericWrite = 0x40000000;
constexpr REGSAM GenericExecute = 0x20000000;
constexpr REGSAM GenericAll = 0x10000000;
constexpr REGSAM Wow64Bits = 0x0300;
// Rights that change the key or what it holds; a denied root refuses them.
constexpr REGSAM WriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /* DELETE */ |
                               0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */;

// Names compare as Windows compares them: upper-cased in the ANSI code page.
struct TNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const
    {
        const size_t common = std::min(a.size(), b.size());
        for (size_t i = 0; i < common; ++i) {
            const auto ca = static_cast<unsigned char>(AnsiUpperChar(a[i]));
            const auto cb = static_cast<unsigned char>(AnsiUpperChar(b[i]));
            if (ca != cb)
                return ca < cb;
        }
        return a.size() < b.size();
    }
};

struct TRegValue {
    DWORD Type = REG_NONE;
    std::string Data;
    bool operator==(const TRegValue&) const = default;
};

struct THive;
struct TRegKey;
using TKeyPtr = std::shared_ptr<TRegKey>;
using TSubKeyMap = std::map<std::string, TKeyPtr, TNameLess>;
using TValueMap = std::map<std::string, TRegValue, TNameLess>;

// Where the last enumeration of a map stopped, so that walking index 0, 1, 2 ... (or backwards) costs one
// step per call instead of a walk from the start.
template <class Map>
struct TCursor {
    uint64_t Generation = 0;
    size_t Index = 0;
    typename Map::const_iterator Position{};
    bool Valid = false;
};

uint64_t FileTimeNow()
{
    using namespace std::chrono;
    const auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return (static_cast<uint64_t>(since1970) + 11644473600ULL * 1000000ULL) * 10ULL;
}

struct TRegKey {
    std::string Name;
    TRegKey* Parent = nullptr;  // never followed once Deleted is set
    THive* Hive = nullptr;      // null: a key that holds only other roots (HKEY_USERS)
    int Depth = 0;
    bool Deleted = false;
    bool Volatile = false;
    bool Predefined = false;  // the key of a predefined root: never deleted
    uint64_t LastWrite = FileTimeNow();
    TSubKeyMap SubKeys;
    TValueMap Values;
    uint64_t SubKeyGeneration = 0;
    uint64_t ValueGeneration = 0;
    TCursor<TSubKeyMap> SubKeyCursor;
    TCursor<TValueMap> ValueCursor;
};

template <class Map>
typename Map::const_iterator NthEntry(const Map& map, TCursor<Map>& cursor, uint64_t generation, size_t index)
{
    const size_t fromEnd = map.size() - index;
    typename Map::const_iterator position = index <= fromEnd ? map.begin() : map.end();
    ptrdiff_t steps = index <= fromEnd ? static_cast<ptrdiff_t>(index) : -static_cast<ptrdiff_t>(fromEnd);
    if (cursor.Valid && cursor.Generation == generation) {
        const ptrdiff_t fromCursor = static_cast<ptrdiff_t>(index) - static_cast<ptrdiff_t>(cursor.Index);
        if (std::abs(fromCursor) < std::abs(steps)) {
            position = cursor.Position;
            steps = fromCursor;
        }
    }
    std::advance(position, steps);
    cursor = {generation, index, position, true};
    return position;
}

struct THive {
    HKEY Root = nullptr;
    std::string RootName;  // "HKEY_LOCAL_MACHINE"
    std::string Path;      // host path of the file; empty: kept in memory only
    TKeyPtr Top;
    bool KeepBadCopy = false;  // the file as loaded had problems: keep it as <file>.bad at the first write
    bool Unreadable = false;   // the file exists but could not be read: never replace it
    bool Dirty = false;        // changed in memory since the file was last written (inside a batch)
    bool WrittenInBatch = false;  // the file was written since the outermost batch opened
};

struct TOpenKey {
    TKeyPtr Key;
    REGSAM Access = 0;
    HKEY Root = nullptr;  // the predefined key the handle was opened below
};

struct TRegistryState {
    THive System;
    THive User;
    THive Config;
    THive Dyn;
    TKeyPtr Users;
    std::unordered_map<uintptr_t, TOpenKey> Handles;
    std::set<uintptr_t> Denied;
    DWORD WriteFailure = ERROR_SUCCESS;
    int BatchDepth = 0;
};

std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

std::unique_ptr<TRegistryState>& StateSlot()
{
    static std::unique_ptr<TRegistryState> state;
    return state;
}

// Handle values are never reused, not even after a reset, so a stale handle is always recognised.
uintptr_t nextHandle = 0x1000;

uintptr_t HandleValue(HKEY key) { return reinterpret_cast<uintptr_t>(key); }

// The one place that asks which kind of Windows the layer plays.
bool Win9xKind() { return !IsNTKind(WindowsKind()); }

void Report(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

// ---------------------------------------------------------------------------------------------------------
// The tree

TKeyPtr NewKey(TRegKey& parent, const std::string& name, bool isVolatile)
{
    auto key = std::make_shared<TRegKey>();
    key->Name = name;
    key->Parent = &parent;
    key->Hive = parent.Hive;
    key->Depth = parent.Depth + 1;
    key->Volatile = isVolatile;
    return key;
}

void InsertSubKey(TRegKey& parent, const TKeyPtr& key)
{
    parent.SubKeys.emplace(key->Name, key);
    ++parent.SubKeyGeneration;
    parent.LastWrite = FileTimeNow();
}

void EraseSubKey(TRegKey& parent, const std::string& name)
{
    parent.SubKeys.erase(name);
    ++parent.SubKeyGeneration;
    parent.LastWrite = FileTimeNow();
}

void MarkDeleted(TRegKey& top, bool deleted)
{
    std::vector<TRegKey*> pending{&top};
    while (!pending.empty()) {
        TRegKey* key = pending.back();
        pending.pop_back();
        key->Deleted = deleted;
        for (auto& [name, child] : key->SubKeys)
            pending.push_back(child.get());
    }
}

TKeyPtr SharedSubKey(TRegKey& key, std::string_view name)
{
    auto found = key.SubKeys.find(name);
    return found == key.SubKeys.end() ? nullptr : found->second;
}

// "a\b\c" -> its names; leading and repeated separators are skipped.
std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// Names that the text file can hold on one line.
bool NameFitsFile(std::string_view name)
{
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return false;
    return true;
}

bool ValidKeyName(std::string_view name) { return name.size() <= MaxKeyNameLength && NameFitsFile(name); }

// The key reached from `from` through `names`, or null.
TKeyPtr WalkPath(const TKeyPtr& from, const std::vector<std::string>& names)
{
    TKeyPtr key = from;
    for (const std::string& name : names) {
        key = SharedSubKey(*key, name);
        if (!key)
            return nullptr;
    }
    return key;
}

// Creates what is missing of `names` below `from` without writing anything; returns the last key and, in
// *created, the topmost key made (null when all existed).
LONG CreatePath(const TKeyPtr& from, const std::vector<std::string>& names, bool isVolatile, TKeyPtr* result,
                TKeyPtr* created)
{
    TKeyPtr key = from;
    size_t i = 0;
    for (; i < names.size(); ++i) {
        TKeyPtr next = SharedSubKey(*key, names[i]);
        if (!next)
            break;
        key = std::move(next);
    }
    *created = nullptr;
    if (i == names.size()) {
        *result = key;
        return ERROR_SUCCESS;
    }
    if (!key->Hive)
        return ERROR_ACCESS_DENIED;
    if (!isVolatile && key->Volatile)
        return ERROR_CHILD_MUST_BE_VOLATILE;
    if (key->Depth + static_cast<int>(names.size() - i) > MaxKeyDepth)
        return ERROR_INVALID_PARAMETER;
    for (size_t j = i; j < names.size(); ++j)
        if (!ValidKeyName(names[j]))
            return ERROR_INVALID_PARAMETER;
    TKeyPtr top = NewKey(*key, names[i], isVolatile);
    TKeyPtr last = top;
    for (size_t j = i + 1; j < names.size(); ++j) {
        TKeyPtr child = NewKey(*last, names[j], isVolatile);
        InsertSubKey(*last, child);
        last = std::move(child);
    }
    InsertSubKey(*key, top);
    *created = top;
    *result = last;
    return ERROR_SUCCESS;
}

// For keys the layer itself needs; below a volatile key they can only be volatile too.
TKeyPtr EnsureKey(const TKeyPtr& from, const std::vector<std::string>& names)
{
    TKeyPtr result;
    TKeyPtr created;
    if (CreatePath(from, names, false, &result, &created) != ERROR_SUCCESS)
        CreatePath(from, names, true, &result, &created);
    return result;
}

void StoreValue(TRegKey& key, const std::string& name, DWORD type, std::string data)
{
    auto [position, inserted] = key.Values.try_emplace(name);
    position->second = TRegValue{type, std::move(data)};
    if (inserted)
        ++key.ValueGeneration;
    key.LastWrite = FileTimeNow();
}

void SetString(TRegKey& key, const std::string& name, const std::string& text, DWORD type = REG_SZ)
{
    StoreValue(key, name, type, text + '\0');
}

// HKEY_CLASSES_ROOT is this key of the machine's tree.
TKeyPtr ClassesKey(THive& system)
{
    TKeyPtr classes = EnsureKey(system.Top, {"SOFTWARE", "Classes"});
    classes->Predefined = true;
    return classes;
}

// ---------------------------------------------------------------------------------------------------------
// The REGEDIT4 text

const char* const FileHeader = "REGEDIT4";

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// A string the quoted form can hold: one terminating zero and nothing that would break the line.
bool QuotableString(const TRegValue& value)
{
    if (value.Type != REG_SZ || value.Data.empty() || value.Data.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < value.Data.size(); ++i) {
        const auto c = static_cast<unsigned char>(value.Data[i]);
        if (c < 0x20 && c != '\t')
            return false;
    }
    return true;
}

void AppendHex(std::string& out, size_t lineStart, std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out += digits[byte >> 4];
        out += digits[byte & 0xF];
        if (i + 1 < bytes.size()) {
            out += ',';
            // Long data continues on the next line, indented, as people are used to reading it.
            if (out.size() - lineStart > 76) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

void AppendValueLine(std::string& out, const std::string& name, const TRegValue& value)
{
    const size_t lineStart = out.size();
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
    if (QuotableString(value)) {
        AppendQuoted(out, std::string_view(value.Data).substr(0, value.Data.size() - 1));
    } else if (value.Type == REG_DWORD && value.Data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.Data[static_cast<size_t>(i)]);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        out += text;
    } else {
        if (value.Type == REG_BINARY) {
            out += "hex:";
        } else {
            char text[24];
            std::snprintf(text, sizeof text, "hex(%x):", value.Type);
            out += text;
        }
        AppendHex(out, lineStart, value.Data);
    }
    out += '\n';
}

void AppendSection(std::string& out, const std::string& path, const TRegKey& key)
{
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, value] : key.Values)
        AppendValueLine(out, name, value);
    out += '\n';
}

// Every stored key in depth-first order, the subkeys of each sorted without case; volatile keys and what is
// below them are left out.
std::string HiveText(const THive& hive)
{
    std::string out = std::string(FileHeader) + "\n\n";
    std::string path = hive.RootName;
    if (!hive.Top->Values.empty())
        AppendSection(out, path, *hive.Top);
    struct TFrame {
        const TRegKey* Key;
        TSubKeyMap::const_iterator Next;
        size_t PathLength;
    };
    std::vector<TFrame> frames{{hive.Top.get(), hive.Top->SubKeys.begin(), path.size()}};
    while (!frames.empty()) {
        TFrame& frame = frames.back();
        if (frame.Next == frame.Key->SubKeys.end()) {
            frames.pop_back();
            continue;
        }
        const auto& [name, child] = *frame.Next++;
        if (child->Volatile)
            continue;
        path.resize(frame.PathLength);
        path += '\\';
        path += name;
        AppendSection(out, path, *child);
        frames.push_back({child.get(), child->SubKeys.begin(), path.size()});
    }
    return out;
}

void Trim(std::string_view& text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
}

bool SameName(std::string_view a, std::string_view b) { return !TNameLess{}(a, b) && !TNameLess{}(b, a); }

bool StartsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && SameName(text.substr(0, start.size()), start);
}

// Reads a number of 1 to `maxDigits` hexadecimal digits making up all of `text`.
std::optional<uint32_t> ParseHexNumber(std::string_view text, size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    uint32_t number = 0;
    for (char c : text) {
        const int digit = rtl::HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        number = (number << 4) | static_cast<uint32_t>(digit);
    }
    return number;
}

// Reads one quoted string starting at text[*position] == '"', undoing the escapes of `\\` and `\"`; a
// backslash before anything else is kept as it stands, as hand-written files expect.
bool ReadQuoted(std::string_view text, size_t* position, std::string* out)
{
    size_t i = *position + 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            *out += text[i + 1];
            i += 2;
        } else if (c == '"') {
            *position = i + 1;
            return true;
        } else {
            *out += c;
            ++i;
        }
    }
    return false;
}

// Loads one REGEDIT4 file into a hive. A bad line is reported as "file:line: message" and skipped.
class TLoader {
public:
    // `system` is given for the machine's file, whose sections may name HKEY_CLASSES_ROOT too.
    TLoader(THive& hive, std::istream& in, THive* system) : hive_(hive), in_(in), system_(system) {}

    void Load()
    {
        std::string line;
        lineNumber_ = 1;
        if (!std::getline(in_, line) || std::string_view(line).substr(0, std::strlen(FileHeader)) != FileHeader ||
            !OnlyBlank(std::string_view(line).substr(std::strlen(FileHeader)))) {
            Problem("not a REGEDIT4 file; read as empty, and kept as it is until the first change");
            return;
        }
        while (NextLine(&line)) {
            std::string_view text = line;
            Trim(text);
            if (text.empty() || text.front() == ';')
                continue;
            if (text.front() == '[')
                ReadKeyLine(text);
            else if (text.front() == '"' || text.front() == '@')
                ReadValueLine(text);
            else
                Problem("neither a key nor a value");
        }
    }

private:
    static bool OnlyBlank(std::string_view text)
    {
        Trim(text);
        return text.empty();
    }

    bool NextLine(std::string* line)
    {
        if (!std::getline(in_, *line))
            return false;
        ++lineNumber_;
        return true;
    }

    void Problem(const std::string& message)
    {
        Report(hive_.Path + ":" + std::to_string(lineNumber_) + ": " + message);
        hive_.KeepBadCopy = true;
    }

    // The key a path names in this file, starting with the root's name.
    TKeyPtr KeyOfPath(std::string_view path, bool create)
    {
        std::vector<std::string> names = SplitKeyPath(path);
        TKeyPtr start;
        if (!names.empty() && SameName(names[0], hive_.RootName))
            start = hive_.Top;
        else if (system_ && !names.empty() && SameName(names[0], "HKEY_CLASSES_ROOT"))
            start = ClassesKey(*system_);
        if (!start) {
            Problem("the key is not below " + hive_.RootName);
            return nullptr;
        }
        names.erase(names.begin());
        if (!create)
            return WalkPath(start, names);
        TKeyPtr key;
        TKeyPtr created;
        if (CreatePath(start, names, false, &key, &created) != ERROR_SUCCESS) {
            Problem("the key name is too long, nested too deep or holds control characters");
            return nullptr;
        }
        return key;
    }

    void ReadKeyLine(std::string_view text)
    {
        current_ = nullptr;
        const size_t close = text.rfind(']');
        if (close == std::string_view::npos) {
            Problem("the key name has no closing ']'");
            return;
        }
        if (!OnlyBlank(text.substr(close + 1))) {
            Problem("text after the key name");
            return;
        }
        std::string_view path = text.substr(1, close - 1);
        if (!path.empty() && path.front() == '-') {
            DeleteKeyOfPath(path.substr(1));
            return;
        }
        current_ = KeyOfPath(path, true);
    }

    void DeleteKeyOfPath(std::string_view path)
    {
        TKeyPtr key = KeyOfPath(path, false);
        if (!key)
            return;
        if (key->Predefined || !key->Parent) {
            Problem("a root key cannot be deleted");
            return;
        }
        MarkDeleted(*key, true);
        EraseSubKey(*key->Parent, key->Name);
    }

    void ReadValueLine(std::string_view text)
    {
        if (!current_) {
            Problem("a value outside of any key");
            return;
        }
        std::string name;
        size_t position = 0;
        if (text.front() == '@') {
            position = 1;
        } else if (!ReadQuoted(text, &position, &name)) {
            Problem("the value name has no closing quote");
            return;
        }
        if (!ValidValueName(name)) {
            Problem("the value name is too long or holds control characters");
            return;
        }
        std::string_view rest = text.substr(position);
        Trim(rest);
        if (rest.empty() || rest.front() != '=') {
            Problem("'=' expected after the value name");
            return;
        }
        rest.remove_prefix(1);
        Trim(rest);
        ReadData(name, rest);
    }

    static bool ValidValueName(std::string_view name)
    {
        return name.size() <= MaxValueNameLength && NameFitsFile(name);
    }

    void ReadData(const std::string& name, std::string_view data)
    {
        if (data == "-") {
            if (current_->Values.erase(name))
                ++current_->ValueGeneration;
            return;
        }
        if (!data.empty() && data.front() == '"') {
            std::string text;
            size_t position = 0;
            if (!ReadQuoted(data, &position, &text)) {
                Problem("the string has no closing quote");
                return;
            }
            if (!OnlyBlank(data.substr(position))) {
                Problem("text after the closing quote");
                return;
            }
            SetString(*current_, name, text);
            return;
        }
        if (StartsWithNoCase(data, "dword:")) {
            std::string_view digits = data.substr(6);
            Trim(digits);
            const std::optional<uint32_t> number = ParseHexNumber(digits, 8);
            if (!number) {
                Problem("a dword needs 1 to 8 hexadecimal digits");
                return;
            }
            std::string bytes(4, '\0');
            for (size_t i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
            StoreValue(*current_, name, REG_DWORD, std::move(bytes));
            return;
        }
        if (!StartsWithNoCase(data, "hex")) {
            Problem("unknown kind of value");
            return;
        }
        ReadHexData(name, data.substr(3));
    }

    // "hex:01,02" or "hex(7):..." with lines continued by a trailing backslash.
    void ReadHexData(const std::string& name, std::string_view data)
    {
        DWORD type = REG_BINARY;
        if (!data.empty() && data.front() == '(') {
            const size_t close = data.find(')');
            const std::optional<uint32_t> number =
                close == std::string_view::npos ? std::nullopt : ParseHexNumber(data.substr(1, close - 1), 8);
            if (!number) {
                Problem("the value type in hex(...) is not a hexadecimal number");
                return;
            }
            type = *number;
            data.remove_prefix(close + 1);
        }
        if (data.empty() || data.front() != ':') {
            Problem("':' expected after hex");
            return;
        }
        data.remove_prefix(1);
        const size_t firstLine = lineNumber_;
        std::string list(data);
        std::string next;
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (!NextLine(&next)) {
                lineNumber_ = firstLine;
                Problem("the file ends inside a continued value");
                return;
            }
            std::string_view piece = next;
            Trim(piece);
            list += piece;
        }
        std::string bytes;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(',', start);
            if (end == std::string::npos)
                end = list.size();
            std::string_view item = std::string_view(list).substr(start, end - start);
            Trim(item);
            // An empty item is allowed only as nothing at all or after a final comma.
            if (item.empty() && (end == list.size()) && (start == 0 || list[start - 1] == ',')) {
                start = end + 1;
                continue;
            }
            const std::optional<uint32_t> byte = ParseHexNumber(item, 2);
            if (!byte) {
                lineNumber_ = firstLine;
                Problem("a byte list needs hexadecimal bytes separated by commas");
                return;
            }
            bytes += static_cast<char>(*byte);
            start = end + 1;
        }
        StoreValue(*current_, name, type, std::move(bytes));
    }

    THive& hive_;
    std::istream& in_;
    THive* system_;
    TKeyPtr current_;
    size_t lineNumber_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// The files

DWORD ErrorOfErrno(int error)
{
    const DWORD code = WindowsErrorFromErrno(error);
    return code == ERROR_SUCCESS ? ERROR_CANTWRITE : code;
}

bool WriteAll(int fd, const std::string& text, int* error)
{
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        written += static_cast<size_t>(count);
    }
    return true;
}

// Replaces the hive's file by its tree through a temporary file renamed over it, so the file is always
// either the old or the new one, whole.
DWORD WriteHive(THive& hive, DWORD injectedFailure)
{
    if (hive.Path.empty())
        return ERROR_SUCCESS;
    if (hive.Unreadable)
        return ERROR_ACCESS_DENIED;
    const std::string text = HiveText(hive);
    std::error_code status;
    if (hive.KeepBadCopy && fs::exists(hive.Path, status)) {
        std::error_code error;
        fs::copy_file(hive.Path, hive.Path + ".bad", fs::copy_options::overwrite_existing, error);
        if (error)
            return ErrorOfErrno(error.value());
    }
    std::string temporary = hive.Path + ".XXXXXX";
    if (InjectedWriteFault("create", hive.Path))
        return ErrorOfErrno(errno);
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return ErrorOfErrno(errno);
    int error = 0;
    bool written = !InjectedWriteFault("write", hive.Path) && WriteAll(fd, text, &error) &&
                   ::fchmod(fd, 0644) == 0 && !InjectedWriteFault("fsync", hive.Path) && ::fsync(fd) == 0;
    if (!written && error == 0)
        error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    DWORD result = written ? ERROR_SUCCESS : ErrorOfErrno(error);
    if (written && injectedFailure != ERROR_SUCCESS)
        result = injectedFailure;
    if (result == ERROR_SUCCESS &&
        (InjectedWriteFault("rename", hive.Path) || ::rename(temporary.c_str(), hive.Path.c_str()) != 0))
        result = ErrorOfErrno(errno);
    if (result != ERROR_SUCCESS) {
        ::unlink(temporary.c_str());
        return result;
    }
    hive.KeepBadCopy = false;
    return ERROR_SUCCESS;
}

// The values of a new Windows installation.
void FillFreshSystem(THive& hive)
{
    const TKeyPtr& top = hive.Top;
    ClassesKey(hive);
    const std::string windows = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    TKeyPtr current = EnsureKey(top, SplitKeyPath(windows));
    SetString(*current, "ProgramFilesDir", ProgramFilesFolder);
    SetString(*current, "CommonFilesDir", CommonFilesFolder);
    SetString(*current, "ProductName", "Microsoft Windows XP");
    for (const char* name : {"Run", "RunOnce", "Uninstall", "SharedDLLs", "App Paths"})
        EnsureKey(current, {name});
    TKeyPtr shell = EnsureKey(current, {"Explorer", "Shell Folders"});
    TKeyPtr userShell = EnsureKey(current, {"Explorer", "User Shell Folders"});
    for (const TKnownFolder& folder : ShellFolders()) {
        if (!folder.Common || folder.RegistryValue.empty())
            continue;
        SetString(*shell, folder.RegistryValue, folder.Path);
        SetString(*userShell, folder.RegistryValue, folder.Path, REG_EXPAND_SZ);
    }
    EnsureKey(top, SplitKeyPath("SOFTWARE\\Microsoft\\Windows\\Help"));
    TKeyPtr nt = EnsureKey(top, SplitKeyPath("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
    SetString(*nt, "SystemRoot", WindowsFolder);
    SetString(*nt, "CurrentVersion", "5.1");
    SetString(*nt, "CurrentBuildNumber", "2600");
    SetString(*nt, "ProductName", "Microsoft Windows XP");
}

void FillFreshUser(THive& hive)
{
    TKeyPtr current = EnsureKey(hive.Top, SplitKeyPath("Software\\Microsoft\\Windows\\CurrentVersion"));
    EnsureKey(current, {"Run"});
    EnsureKey(current, {"RunOnce"});
    TKeyPtr shell = EnsureKey(current, {"Explorer", "Shell Folders"});
    TKeyPtr userShell = EnsureKey(current, {"Explorer", "User Shell Folders"});
    for (const TKnownFolder& folder : ShellFolders()) {
        if (folder.Common || folder.RegistryValue.empty())
            continue;
        SetString(*shell, folder.RegistryValue, folder.Path);
        // Plain paths: expanding them changes nothing, whether or not the reader expands.
        SetString(*userShell, folder.RegistryValue, folder.Path, REG_EXPAND_SZ);
    }
}

void LoadHive(THive& hive, void (*fillFresh)(THive&), THive* system)
{
    std::error_code status;
    if (fs::status(hive.Path, status).type() == fs::file_type::not_found) {
        if (fillFresh)
            fillFresh(hive);
        if (!hive.Top->SubKeys.empty() || !hive.Top->Values.empty()) {
            const DWORD error = WriteHive(hive, ERROR_SUCCESS);
            if (error != ERROR_SUCCESS)
                Report(hive.Path + ": cannot write the registry of a new installation (error " +
                       std::to_string(error) + ")");
        }
        return;
    }
    std::ifstream in;
    if (fs::is_regular_file(hive.Path, status))
        in.open(hive.Path, std::ios::binary);
    if (!in) {
        Report(hive.Path + ": cannot be read; the registry it holds is left alone and not changed");
        hive.Unreadable = true;
        return;
    }
    TLoader loader(hive, in, system);
    loader.Load();
    if (in.bad()) {
        Report(hive.Path + ": reading failed; the registry it holds is left alone and not changed");
        hive.Unreadable = true;
    }
}

void InitHive(THive& hive, HKEY root, const char* rootName, const std::string& path)
{
    hive.Root = root;
    hive.RootName = rootName;
    hive.Path = path;
    hive.Top = std::make_shared<TRegKey>();
    hive.Top->Name = rootName;
    hive.Top->Hive = &hive;
    hive.Top->Predefined = true;
}

std::unique_ptr<TRegistryState> LoadRegistry()
{
    const std::string prefix = PrefixFolder();
    auto state = std::make_unique<TRegistryState>();
    InitHive(state->System, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", prefix + "/system.reg");
    InitHive(state->User, HKEY_CURRENT_USER, "HKEY_CURRENT_USER", prefix + "/user.reg");
    InitHive(state->Config, HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG", prefix + "/config.reg");
    InitHive(state->Dyn, HKEY_DYN_DATA, "HKEY_DYN_DATA", "");
    LoadHive(state->System, FillFreshSystem, &state->System);
    ClassesKey(state->System);
    LoadHive(state->User, FillFreshUser, nullptr);
    LoadHive(state->Config, nullptr, nullptr);

    // HKEY_USERS holds the current user's tree as ".DEFAULT"; it stays that tree's key, not a copy.
    state->Users = std::make_shared<TRegKey>();
    state->Users->Name = "HKEY_USERS";
    state->Users->Predefined = true;
    state->Users->SubKeys.emplace(".DEFAULT", state->User.Top);
    return state;
}

TRegistryState& Registry()
{
    static bool hookRegistered = false;
    if (!hookRegistered) {
        hookRegistered = true;
        RegisterResetHook(ResetRegistry);
    }
    std::unique_ptr<TRegistryState>& state = StateSlot();
    if (!state)
        state = LoadRegistry();
    return *state;
}

// ---------------------------------------------------------------------------------------------------------
// Handles

// The key a handle (or a predefined root) stands for.
LONG Resolve(TRegistryState& state, HKEY key, TOpenKey* result)
{
    if (key == HKEY_CLASSES_ROOT)
        *result = {ClassesKey(state.System), KEY_ALL_ACCESS, key};
    else if (key == HKEY_CURRENT_USER)
        *result = {state.User.Top, KEY_ALL_ACCESS, key};
    else if (key == HKEY_LOCAL_MACHINE)
        *result = {state.System.Top, KEY_ALL_ACCESS, key};
    else if (key == HKEY_USERS)
        *result = {state.Users, KEY_ALL_ACCESS, key};
    else if (key == HKEY_CURRENT_CONFIG)
        *result = {state.Config.Top, KEY_ALL_ACCESS, key};
    else if (key == HKEY_DYN_DATA) {
        if (!Win9xKind())
            return ERROR_BADKEY;
        *result = {state.Dyn.Top, KEY_ALL_ACCESS, key};
    } else {
        auto found = state.Handles.find(HandleValue(key));
        if (found == state.Handles.end())
            return ERROR_INVALID_HANDLE;
        *result = found->second;
    }
    return ERROR_SUCCESS;
}

// Resolves a handle that must still name a live key.
LONG ResolveLive(TRegistryState& state, HKEY key, TOpenKey* result)
{
    const LONG error = Resolve(state, key, result);
    if (error != ERROR_SUCCESS)
        return error;
    return result->Key->Deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

bool IsPredefinedRoot(HKEY key)
{
    const uintptr_t value = HandleValue(key);
    return value >= 0x80000000 && value <= 0x80000006;
}

// Changes below a denied root are refused; HKEY_CLASSES_ROOT and HKEY_USERS\.DEFAULT are refused with the
// root whose file they change.
bool WriteDenied(const TRegistryState& state, const TOpenKey& key)
{
    if (state.Denied.count(HandleValue(key.Root)))
        return true;
    return key.Key->Hive && state.Denied.count(HandleValue(key.Key->Hive->Root));
}

// The rights a handle gets for `requested`; false when they include rights a denied root refuses.
bool GrantedRights(const TRegistryState& state, const TOpenKey& base, REGSAM requested, REGSAM* granted)
{
    const bool denied = WriteDenied(state, base);
    REGSAM rights = requested & ~(Wow64Bits | GenericRead | GenericWrite | GenericExecute | GenericAll |
                                  MAXIMUM_ALLOWED);
    if (requested & (GenericRead | GenericExecute))
        rights |= KEY_READ;
    if (requested & GenericWrite)
        rights |= KEY_WRITE;
    if (requested & GenericAll)
        rights |= KEY_ALL_ACCESS;
    if (denied && (rights & WriteRights))
        return false;
    if (requested & MAXIMUM_ALLOWED)
        rights |= denied ? KEY_READ : KEY_ALL_ACCESS;
    *granted = rights;
    return true;
}

HKEY NewHandle(TRegistryState& state, const TKeyPtr& key, REGSAM access, HKEY root)
{
    const uintptr_t value = nextHandle;
    nextHandle += 4;
    state.Handles.emplace(value, TOpenKey{key, access, root});
    return reinterpret_cast<HKEY>(value);
}

// Writes a changed hive, or inside a batch marks it for the batch's end.
LONG WriteOrMark(TRegistryState& state, THive& hive)
{
    if (state.BatchDepth == 0 || hive.Path.empty())
        return static_cast<LONG>(WriteHive(hive, state.WriteFailure));
    if (hive.Unreadable)
        return ERROR_ACCESS_DENIED;
    hive.Dirty = true;
    return ERROR_SUCCESS;
}

// Writes the file of a changed key; the caller undoes the change when this fails.
LONG Persist(TRegistryState& state, const TRegKey& key)
{
    if (key.Volatile || !key.Hive)
        return ERROR_SUCCESS;
    return WriteOrMark(state, *key.Hive);
}

// Writes each marked hive once; stops at the first that fails, which stays marked.
LONG WriteMarked(TRegistryState& state)
{
    for (THive* hive : {&state.System, &state.User, &state.Config}) {
        if (!hive->Dirty)
            continue;
        const DWORD error = WriteHive(*hive, state.WriteFailure);
        if (error != ERROR_SUCCESS)
            return static_cast<LONG>(error);
        hive->Dirty = false;
        hive->WrittenInBatch = state.BatchDepth > 0;
    }
    return ERROR_SUCCESS;
}

// A hive written without a batch, or marked and then written, must not be written again for old marks.
void ForgetBatch(TRegistryState& state)
{
    for (THive* hive : {&state.System, &state.User, &state.Config})
        hive->WrittenInBatch = false;
}

// ---------------------------------------------------------------------------------------------------------
// The run's journal: each change notes how to take it back, by the key's path, so the note holds whatever
// the tree went through in between.

struct TKeyPlace {
    HKEY Root = nullptr;  // the predefined key of the hive
    std::vector<std::string> Names;
};

std::optional<TKeyPlace> PlaceOf(const TRegKey& key)
{
    if (!key.Hive || key.Volatile || key.Hive->Path.empty())
        return std::nullopt;
    TKeyPlace place{key.Hive->Root, {}};
    for (const TRegKey* at = &key; at->Parent; at = at->Parent)
        place.Names.push_back(at->Name);
    std::reverse(place.Names.begin(), place.Names.end());
    return place;
}

std::string PlaceText(const TKeyPlace& place, const std::string& value = {}, bool withValue = false)
{
    std::string text = place.Root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    for (const std::string& name : place.Names)
        text += "\\" + name;
    if (withValue)
        text += "\\" + (value.empty() ? std::string("@") : value);
    return text;
}

THive* HiveOf(TRegistryState& state, HKEY root)
{
    for (THive* hive : {&state.System, &state.User, &state.Config})
        if (hive->Root == root)
            return hive;
    return nullptr;
}

TKeyPtr CloneKey(const TRegKey& from, TRegKey& parent)
{
    TKeyPtr key = NewKey(parent, from.Name, from.Volatile);
    key->Values = from.Values;
    key->LastWrite = from.LastWrite;
    for (const auto& [name, child] : from.SubKeys)
        InsertSubKey(*key, CloneKey(*child, *key));
    return key;
}

bool Persisted(TRegistryState& state, const TRegKey& key, std::string& why)
{
    const LONG error = key.Hive ? WriteOrMark(state, *key.Hive) : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS)
        why = "the registry cannot be written (error " + std::to_string(error) + ")";
    return error == ERROR_SUCCESS;
}

// Before a value of `key` changes: puts `previous` back, or removes the value when it had none.
void NoteValue(const TRegKey& key, const std::string& name, std::optional<TRegValue> previous)
{
    std::optional<TKeyPlace> place = PlaceOf(key);
    if (!place || !JournalOpen())
        return;
    JournalStep(PlaceText(*place, name, true), [place = *place, name, previous](std::string& why) {
        std::lock_guard lock(RegistryLock());
        TRegistryState& state = Registry();
        THive* hive = HiveOf(state, place.Root);
        TKeyPtr target = hive ? WalkPath(hive->Top, place.Names) : nullptr;
        if (!target) {
            if (!previous)
                return true;
            why = "its key is gone";
            return false;
        }
        std::optional<TRegValue> now;
        if (auto found = target->Values.find(name); found != target->Values.end())
            now = found->second;
        if (now == previous)
            return true;
        if (previous)
            StoreValue(*target, name, previous->Type, previous->Data);
        else {
            target->Values.erase(name);
            ++target->ValueGeneration;
        }
        if (Persisted(state, *target, why))
            return true;
        if (now)
            StoreValue(*target, name, now->Type, now->Data);
        else {
            target->Values.erase(name);
            ++target->ValueGeneration;
        }
        return false;
    });
}

// After `created` (with what is below it) was made.
void NoteKeyCreated(const TRegKey& created)
{
    std::optional<TKeyPlace> place = PlaceOf(created);
    if (!place || !JournalOpen())
        return;
    JournalStep(PlaceText(*place), [place = *place](std::string& why) {
        std::lock_guard lock(RegistryLock());
        TRegistryState& state = Registry();
        THive* hive = HiveOf(state, place.Root);
        TKeyPtr target = hive ? WalkPath(hive->Top, place.Names) : nullptr;
        if (!target || !target->Parent)
            return true;
        TRegKey& parent = *target->Parent;
        MarkDeleted(*target, true);
        EraseSubKey(parent, target->Name);
        if (Persisted(state, parent, why)) {
            target->Parent = nullptr;
            return true;
        }
        MarkDeleted(*target, false);
        InsertSubKey(parent, target);
        return false;
    });
}

// After `deleted` was taken out of its tree: it comes back as it was.
void NoteKeyDeleted(const TKeyPlace& place, const TKeyPtr& deleted)
{
    if (!JournalOpen())
        return;
    JournalStep(PlaceText(place), [place, deleted](std::string& why) {
        std::lock_guard lock(RegistryLock());
        TRegistryState& state = Registry();
        THive* hive = HiveOf(state, place.Root);
        std::vector<std::string> parentNames(place.Names.begin(), place.Names.end() - 1);
        TKeyPtr parent = hive ? WalkPath(hive->Top, parentNames) : nullptr;
        if (!parent) {
            why = "its parent key is gone";
            return false;
        }
        if (SharedSubKey(*parent, deleted->Name))
            return true;
        TKeyPtr copy = CloneKey(*deleted, *parent);
        InsertSubKey(*parent, copy);
        if (Persisted(state, *parent, why))
            return true;
        MarkDeleted(*copy, true);
        EraseSubKey(*parent, copy->Name);
        return false;
    });
}

LONG Finish(LONG result)
{
    if (result != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(result));
    return result;
}

std::string ValueNameOf(const char* name) { return name ? std::string(name) : std::string(); }

// Exactly the bytes given, as Windows keeps them: a string written without its zero is read back without
// one, and a value saved earlier is put back byte for byte.
std::string StoredData(const BYTE* data, DWORD size)
{
    return data ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
}

// Copies `text` and its zero into a buffer of *length characters; ERROR_MORE_DATA when it does not fit.
LONG CopyName(const std::string& text, char* buffer, DWORD* length)
{
    if (*length <= text.size()) {
        *length = static_cast<DWORD>(text.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

// Copies value data the way RegQueryValueEx and RegEnumValue report it.
LONG CopyData(const TRegValue& value, DWORD* type, BYTE* data, DWORD* size)
{
    if (type)
        *type = value.Type;
    if (!size)
        return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(value.Data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::memcpy(data, value.Data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

void StoreFileTime(FILETIME* time, uint64_t value)
{
    if (!time)
        return;
    time->dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFF);
    time->dwHighDateTime = static_cast<DWORD>(value >> 32);
}

void ClearClass(char* className, DWORD* classLength)
{
    if (className && classLength && *classLength > 0)
        className[0] = '\0';
    if (classLength)
        *classLength = 0;
}

// Runs `call` under the lock with the live key that `key` stands for; failures also go to GetLastError.
template <class Call>
LONG WithKey(HKEY key, Call call)
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    TOpenKey base;
    LONG error = ResolveLive(state, key, &base);
    if (error == ERROR_SUCCESS)
        error = call(state, base);
    return Finish(error);
}

}  // namespace

LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, PHKEY result)
{
    (void)options;
    if (!result)
        return Finish(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    return WithKey(key, [&](TRegistryState& state, const TOpenKey& base) -> LONG {
        TKeyPtr target = WalkPath(base.Key, SplitKeyPath(subKey ? subKey : ""));
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        REGSAM granted = 0;
        if (!GrantedRights(state, base, access, &granted))
            return ERROR_ACCESS_DENIED;
        *result = NewHandle(state, target, granted, base.Root);
        return ERROR_SUCCESS;
    });
}

LONG RegOpenKey(HKEY key, const char* subKey, PHKEY result)
{
    if (!result)
        return Finish(ERROR_INVALID_PARAMETER);
    if (subKey && *subKey)
        return RegOpenKeyEx(key, subKey, 0, MAXIMUM_ALLOWED, result);
    // Without a sub-key the caller gets its own handle back rather than a new one.
    *result = nullptr;
    return WithKey(key, [&](TRegistryState&, const TOpenKey&) -> LONG {
        *result = key;
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, const char* className, DWORD options,
                    REGSAM access, const void* security, PHKEY result, DWORD* disposition)
{
    (void)className;
    (void)security;
    if (!result)
        return Finish(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    if (reserved != 0)
        return Finish(ERROR_INVALID_PARAMETER);
    return WithKey(key, [&](TRegistryState& state, const TOpenKey& base) -> LONG {
        const std::vector<std::string> names = SplitKeyPath(subKey ? subKey : "");
        REGSAM granted = 0;
        if (!GrantedRights(state, base, access, &granted))
            return ERROR_ACCESS_DENIED;
        DWORD outcome = REG_OPENED_EXISTING_KEY;
        TKeyPtr target = WalkPath(base.Key, names);
        if (!target) {
            if (WriteDenied(state, base) || !(base.Access & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            TKeyPtr created;
            LONG error = CreatePath(base.Key, names, (options & REG_OPTION_VOLATILE) != 0, &target, &created);
            if (error == ERROR_SUCCESS)
                error = Persist(state, *created);
            if (error != ERROR_SUCCESS) {
                if (created) {
                    MarkDeleted(*created, true);
                    EraseSubKey(*created->Parent, created->Name);
                }
                return error;
            }
            outcome = REG_CREATED_NEW_KEY;
            NoteKeyCreated(*created);
        }
        *result = NewHandle(state, target, granted, base.Root);
        if (disposition)
            *disposition = outcome;
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKey(HKEY key, const char* subKey, PHKEY result)
{
    if (!subKey || !*subKey)
        return RegOpenKey(key, subKey, result);
    return RegCreateKeyEx(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr, result,
                          nullptr);
}

LONG RegCloseKey(HKEY key)
{
    if (IsPredefinedRoot(key))
        return ERROR_SUCCESS;
    std::lock_guard lock(RegistryLock());
    std::unique_ptr<TRegistryState>& state = StateSlot();
    if (!state || !state->Handles.erase(HandleValue(key)))
        return Finish(ERROR_INVALID_HANDLE);
    return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY key, const char* subKey)
{
    return WithKey(key, [&](TRegistryState& state, const TOpenKey& base) -> LONG {
        TKeyPtr target = WalkPath(base.Key, SplitKeyPath(subKey ? subKey : ""));
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        if (WriteDenied(state, base) || target->Predefined || !target->Parent)
            return ERROR_ACCESS_DENIED;
        if (!target->SubKeys.empty() && !Win9xKind())
            return ERROR_ACCESS_DENIED;
        TRegKey& parent = *target->Parent;
        const std::optional<TKeyPlace> place = PlaceOf(*target);
        MarkDeleted(*target, true);
        EraseSubKey(parent, target->Name);
        const LONG error = Persist(state, *target);
        if (error != ERROR_SUCCESS) {
            MarkDeleted(*target, false);
            InsertSubKey(parent, target);
            return error;
        }
        target->Parent = nullptr;
        if (place)
            NoteKeyDeleted(*place, target);
        return ERROR_SUCCESS;
    });
}

LONG RegFlushKey(HKEY key)
{
    return WithKey(key, [](TRegistryState&, const TOpenKey&) -> LONG { return ERROR_SUCCESS; });
}

LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size)
{
    return WithKey(key, [&](TRegistryState&, const TOpenKey& base) -> LONG {
        if (reserved || (data && !size))
            return ERROR_INVALID_PARAMETER;
        if (!(base.Access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        auto found = base.Key->Values.find(ValueNameOf(valueName));
        if (found == base.Key->Values.end())
            return ERROR_FILE_NOT_FOUND;
        return CopyData(found->second, type, data, size);
    });
}

LONG RegSetValueEx(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    (void)reserved;
    return WithKey(key, [&](TRegistryState& state, const TOpenKey& base) -> LONG {
        if (!(base.Access & KEY_SET_VALUE) || WriteDenied(state, base) || !base.Key->Hive)
            return ERROR_ACCESS_DENIED;
        const std::string name = ValueNameOf(valueName);
        if ((!data && size > 0) || name.size() > MaxValueNameLength || !NameFitsFile(name))
            return ERROR_INVALID_PARAMETER;
        TRegValue value{type, StoredData(data, size)};
        TRegKey& target = *base.Key;
        std::optional<TRegValue> previous;
        if (auto found = target.Values.find(name); found != target.Values.end()) {
            if (found->second == value)
                return ERROR_SUCCESS;
            previous = found->second;
        }
        StoreValue(target, name, value.Type, value.Data);
        const LONG error = Persist(state, target);
        if (error != ERROR_SUCCESS && previous) {
            target.Values.find(name)->second = std::move(*previous);
        } else if (error != ERROR_SUCCESS) {
            target.Values.erase(name);
            ++target.ValueGeneration;
        } else {
            NoteValue(target, name, std::move(previous));
        }
        return error;
    });
}

LONG RegDeleteValue(HKEY key, const char* valueName)
{
    return WithKey(key, [&](TRegistryState& state, const TOpenKey& base) -> LONG {
        if (!(base.Access & KEY_SET_VALUE) || WriteDenied(state, base))
            return ERROR_ACCESS_DENIED;
        TRegKey& target = *base.Key;
        auto found = target.Values.find(ValueNameOf(valueName));
        if (found == target.Values.end())
            return ERROR_FILE_NOT_FOUND;
        auto entry = target.Values.extract(found);
        ++target.ValueGeneration;
        const LONG error = Persist(state, target);
        if (error != ERROR_SUCCESS) {
            target.Values.insert(std::move(entry));
            ++target.ValueGeneration;
            return error;
        }
        NoteValue(target, entry.key(), entry.mapped());
        target.LastWrite = FileTimeNow();
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, char* className,
                  DWORD* classLength, FILETIME* lastWriteTime)
{
    return WithKey(key, [&](TRegistryState&, const TOpenKey& base) -> LONG {
        if (!name || !nameLength || reserved)
            return ERROR_INVALID_PARAMETER;
        if (!(base.Access & KEY_ENUMERATE_SUB_KEYS))
            return ERROR_ACCESS_DENIED;
        TRegKey& parent = *base.Key;
        if (index >= parent.SubKeys.size())
            return ERROR_NO_MORE_ITEMS;
        auto position = NthEntry(parent.SubKeys, parent.SubKeyCursor, parent.SubKeyGeneration, index);
        const LONG error = CopyName(position->first, name, nameLength);
        if (error != ERROR_SUCCESS)
            return error;
        ClearClass(className, classLength);
        StoreFileTime(lastWriteTime, position->second->LastWrite);
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValue(HKEY key, DWORD index, char* valueName, DWORD* valueNameLength, DWORD* reserved, DWORD* type,
                  BYTE* data, DWORD* size)
{
    return WithKey(key, [&](TRegistryState&, const TOpenKey& base) -> LONG {
        if (!valueName || !valueNameLength || reserved || (data && !size))
            return ERROR_INVALID_PARAMETER;
        if (!(base.Access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        TRegKey& target = *base.Key;
        if (index >= target.Values.size())
            return ERROR_NO_MORE_ITEMS;
        auto position = NthEntry(target.Values, target.ValueCursor, target.ValueGeneration, index);
        const LONG error = CopyName(position->first, valueName, valueNameLength);
        if (error != ERROR_SUCCESS)
            return error;
        return CopyData(position->second, type, data, size);
    });
}

LONG RegQueryInfoKey(HKEY key, char* className, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
                     DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
                     DWORD* maxValueLength, DWORD* securityDescriptorSize, FILETIME* lastWriteTime)
{
    return WithKey(key, [&](TRegistryState&, const TOpenKey& base) -> LONG {
        if (reserved || (className && !classLength))
            return ERROR_INVALID_PARAMETER;
        if (!(base.Access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        const TRegKey& target = *base.Key;
        size_t longestKey = 0;
        for (const auto& [name, child] : target.SubKeys)
            longestKey = std::max(longestKey, name.size());
        size_t longestName = 0;
        size_t longestData = 0;
        for (const auto& [name, value] : target.Values) {
            longestName = std::max(longestName, name.size());
            longestData = std::max(longestData, value.Data.size());
        }
        const auto put = [](DWORD* out, size_t number) {
            if (out)
                *out = static_cast<DWORD>(number);
        };
        ClearClass(className, classLength);
        put(subKeys, target.SubKeys.size());
        put(maxSubKeyLength, longestKey);
        put(maxClassLength, 0);
        put(values, target.Values.size());
        put(maxValueNameLength, longestName);
        put(maxValueLength, longestData);
        put(securityDescriptorSize, 0);
        StoreFileTime(lastWriteTime, target.LastWrite);
        return ERROR_SUCCESS;
    });
}

void ResetRegistry()
{
    std::unique_ptr<TRegistryState> old;
    {
        std::lock_guard lock(RegistryLock());
        old = std::move(StateSlot());
    }
}

std::string RegistryFilePath(HKEY root)
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    if (root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT)
        return state.System.Path;
    if (root == HKEY_CURRENT_USER || root == HKEY_USERS)
        return state.User.Path;
    if (root == HKEY_CURRENT_CONFIG)
        return state.Config.Path;
    return {};
}

void SetRegistryAccessDenied(HKEY root, bool denied)
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    if (denied)
        state.Denied.insert(HandleValue(root));
    else
        state.Denied.erase(HandleValue(root));
}

void SetRegistryWriteFailure(DWORD error)
{
    std::lock_guard lock(RegistryLock());
    Registry().WriteFailure = error;
}

void BeginRegistryBatch()
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    if (state.BatchDepth++ == 0)
        ForgetBatch(state);
}

LONG EndRegistryBatch()
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    if (state.BatchDepth == 0 || --state.BatchDepth > 0)
        return ERROR_SUCCESS;
    ForgetBatch(state);
    return Finish(WriteMarked(state));
}

LONG EndRegistryBatchTakenBack()
{
    std::lock_guard lock(RegistryLock());
    TRegistryState& state = Registry();
    if (state.BatchDepth == 0 || --state.BatchDepth > 0)
        return ERROR_SUCCESS;
    for (THive* hive : {&state.System, &state.User, &state.Config})
        hive->Dirty = hive->Dirty && hive->WrittenInBatch;
    ForgetBatch(state);
    return Finish(WriteMarked(state));
}

LONG WritePendingRegistry()
{
    std::lock_guard lock(RegistryLock());
    std::unique_ptr<TRegistryState>& state = StateSlot();
    return state ? Finish(WriteMarked(*state)) : ERROR_SUCCESS;
}

}  // namespace win
