#include "platform/win/Version.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/rtl/Encoding.h"
#include "platform/rtl/SysUtils.h"
#include "platform/win/Files.h"
#include "platform/win/PeImage.h"
#include "platform/win/Platform.h"

namespace win {

namespace {

constexpr size_t kNodeHeaderSize = 6;
constexpr size_t kMaxNodeLength = 0xFFFF;
constexpr WORD kBinary = 0;
constexpr WORD kText = 1;
// Written after the raw block by GetFileVersionInfo; VerQueryValue refuses blocks without it, since only
// those have the 8-bit copies of the texts.
constexpr char kAnsiMarker[4] = {'A', 'N', 'S', 'I'};

size_t Align4(size_t value)
{
    return (value + 3) & ~size_t{3};
}

uint16_t Word(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// One node of a block; offsets from the block's start.
struct TNode {
    size_t Begin = 0;
    size_t End = 0;  // Begin + wLength
    WORD Type = kBinary;
    std::u16string Key;
    size_t ValueBegin = 0;
    size_t ValueBytes = 0;
    size_t ChildrenBegin = 0;
};

// False when the node does not fit in [begin, limit) or its key has no end: the caller stops there.
bool ParseNode(const unsigned char* block, size_t begin, size_t limit, TNode& node)
{
    if (begin > limit || limit - begin < kNodeHeaderSize)
        return false;
    const size_t length = Word(block + begin);
    if (length < kNodeHeaderSize || length > limit - begin)
        return false;
    node.Begin = begin;
    node.End = begin + length;
    const size_t valueLength = Word(block + begin + 2);
    node.Type = Word(block + begin + 4) == kText ? kText : kBinary;

    node.Key.clear();
    size_t p = begin + kNodeHeaderSize;
    bool terminated = false;
    while (p + 2 <= node.End) {
        const char16_t c = Word(block + p);
        p += 2;
        if (c == 0) {
            terminated = true;
            break;
        }
        node.Key.push_back(c);
    }
    if (!terminated)
        return false;

    node.ValueBegin = std::min(Align4(p), node.End);
    const size_t room = node.End - node.ValueBegin;
    node.ValueBytes = node.Type == kText ? valueLength * 2 : valueLength;
    if (node.ValueBytes > room) {
        if (node.Type != kText)
            return false;
        node.ValueBytes = room & ~size_t{1};  // a text cut short keeps what is there
    }
    node.ChildrenBegin = std::min(Align4(node.ValueBegin + node.ValueBytes), node.End);
    return true;
}

// Calls visit(child) for each well-formed child in order until it returns false; a malformed child ends
// the list.
template <class Visit>
void ForEachChild(const unsigned char* block, const TNode& parent, Visit visit)
{
    size_t p = parent.ChildrenBegin;
    TNode child;
    while (p < parent.End && ParseNode(block, p, parent.End, child)) {
        if (!visit(child))
            return;
        p = Align4(child.End);
    }
}

std::string TextValue(const unsigned char* block, const TNode& node)
{
    std::u16string text;
    for (size_t p = node.ValueBegin; p + 2 <= node.ValueBegin + node.ValueBytes; p += 2) {
        const char16_t c = Word(block + p);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return rtl::Utf16ToAnsi(text);
}

bool ParseRoot(const unsigned char* block, size_t size, TNode& root)
{
    return ParseNode(block, 0, size, root) && root.Key == u"VS_VERSION_INFO";
}

// GetFileVersionInfo's layout: the raw block, padding, the marker, then the 8-bit text of each text value
// at half its offset in the raw block. A text of n UTF-16 units becomes at most n bytes, and two texts lie
// at least a node header apart, so the copies never overlap.
size_t AnsiAreaOffset(size_t rawLength)
{
    return Align4(rawLength) + sizeof kAnsiMarker;
}

size_t InfoSize(size_t rawLength)
{
    return AnsiAreaOffset(rawLength) + Align4(rawLength / 2 + 2);
}

void FillAnsiTexts(unsigned char* info, size_t rawLength)
{
    std::memcpy(info + Align4(rawLength), kAnsiMarker, sizeof kAnsiMarker);
    unsigned char* area = info + AnsiAreaOffset(rawLength);
    TNode root;
    if (!ParseRoot(info, rawLength, root))
        return;
    // Iteratively, so no nesting in the file can exhaust the stack.
    std::vector<TNode> pending{root};
    while (!pending.empty()) {
        const TNode node = std::move(pending.back());
        pending.pop_back();
        if (node.Type == kText && node.ValueBytes > 0) {
            const std::string text = TextValue(info, node);
            std::memcpy(area + node.ValueBegin / 2, text.c_str(), text.size() + 1);
        }
        ForEachChild(info, node, [&](const TNode& child) {
            pending.push_back(child);
            return true;
        });
    }
}

class TFileImageBytes : public TImageBytes {
public:
    TFileImageBytes(HANDLE file, uint64_t size) : file_(file), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const override
    {
        if (offset > size_ || count > size_ - offset)
            return false;
        if (!SetFilePointerEx(file_, static_cast<int64_t>(offset), nullptr, FILE_BEGIN))
            return false;
        auto* out = static_cast<unsigned char*>(buffer);
        while (count > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 1 << 20));
            DWORD read = 0;
            if (!ReadFile(file_, out, chunk, &read, nullptr) || read != chunk)
                return false;
            out += read;
            count -= read;
        }
        return true;
    }

private:
    HANDLE file_;
    uint64_t size_;
};

// The file's version resource as stored; an error code otherwise.
DWORD LoadResource(const char* fileName, std::string& resource)
{
    if (!fileName)
        return ERROR_INVALID_PARAMETER;
    HANDLE file = CreateFile(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    int64_t size = 0;
    DWORD error = ERROR_SUCCESS;
    if (!GetFileSizeEx(file, &size))
        error = GetLastError();
    else
        error = FindVersionResource(TFileImageBytes(file, static_cast<uint64_t>(size)), resource);
    CloseHandle(file);
    return error;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// ---------------------------------------------------------------------------------------------------------
// Building

void AppendWord(std::string& out, WORD value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void AppendDword(std::string& out, DWORD value)
{
    AppendWord(out, static_cast<WORD>(value & 0xFFFF));
    AppendWord(out, static_cast<WORD>(value >> 16));
}

void AppendUtf16(std::string& out, const std::string& text)
{
    for (char16_t c : rtl::AnsiToUtf16(text))
        AppendWord(out, c);
    AppendWord(out, 0);
}

void PadTo4(std::string& out)
{
    out.resize(Align4(out.size()), '\0');
}

// Children are padded to 32 bits before each one; nothing follows the last.
std::string MakeNode(const std::string& key, WORD type, const std::string& value, WORD valueLength,
                     const std::vector<std::string>& children)
{
    std::string out;
    AppendWord(out, 0);
    AppendWord(out, valueLength);
    AppendWord(out, type);
    AppendUtf16(out, key);
    PadTo4(out);
    out += value;
    for (const std::string& child : children) {
        PadTo4(out);
        out += child;
    }
    if (out.size() > kMaxNodeLength)
        throw rtl::Exception(rtl::Format("Version information too large: node '%s' needs %d bytes", key,
                                         static_cast<int>(out.size())));
    out[0] = static_cast<char>(out.size() & 0xFF);
    out[1] = static_cast<char>(out.size() >> 8);
    return out;
}

std::string TextNode(const std::string& key, const std::string& text)
{
    std::string value;
    AppendUtf16(value, text);
    return MakeNode(key, kText, value, static_cast<WORD>(value.size() / 2), {});
}

}  // namespace

DWORD VersionInfoFromResource(const std::string& resource, std::string& info)
{
    TNode root;
    if (!ParseRoot(reinterpret_cast<const unsigned char*>(resource.data()), resource.size(), root))
        return ERROR_INVALID_DATA;
    info.assign(InfoSize(root.End), '\0');
    std::memcpy(info.data(), resource.data(), root.End);
    FillAnsiTexts(reinterpret_cast<unsigned char*>(info.data()), root.End);
    return ERROR_SUCCESS;
}

DWORD GetFileVersionInfoSize(const char* fileName, DWORD* handle)
{
    if (handle)
        *handle = 0;
    std::string resource;
    std::string info;
    DWORD error = LoadResource(fileName, resource);
    if (error == ERROR_SUCCESS)
        error = VersionInfoFromResource(resource, info);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(info.size());
}

BOOL GetFileVersionInfo(const char* fileName, DWORD, DWORD length, void* data)
{
    if (!data)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string resource;
    std::string info;
    DWORD error = LoadResource(fileName, resource);
    if (error == ERROR_SUCCESS)
        error = VersionInfoFromResource(resource, info);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    if (length < info.size())
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(data, info.data(), info.size());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL VerQueryValue(const void* block, const char* subBlock, void** buffer, UINT* length)
{
    if (!block || !subBlock || !buffer || !length)
        return Fail(ERROR_INVALID_PARAMETER);
    const auto* bytes = static_cast<const unsigned char*>(block);
    const size_t rawLength = Word(bytes);
    TNode node;
    if (rawLength < kNodeHeaderSize ||
        std::memcmp(bytes + Align4(rawLength), kAnsiMarker, sizeof kAnsiMarker) != 0 ||
        !ParseRoot(bytes, rawLength, node))
        return Fail(ERROR_INVALID_PARAMETER);

    const std::string_view path(subBlock);
    size_t start = 0;
    bool atRoot = true;
    while (start <= path.size()) {
        size_t stop = path.find('\\', start);
        if (stop == std::string_view::npos)
            stop = path.size();
        const std::string key(path.substr(start, stop - start));
        start = stop + 1;
        if (key.empty())
            continue;
        bool found = false;
        TNode match;
        ForEachChild(bytes, node, [&](const TNode& child) {
            found = rtl::AnsiSameText(rtl::Utf16ToAnsi(child.Key), key);
            if (found)
                match = child;
            return !found;
        });
        if (!found)
            return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
        node = std::move(match);
        atRoot = false;
    }

    if (atRoot && node.ValueBytes == 0)
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    if (node.Type == kText) {
        char* text = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes)) + AnsiAreaOffset(rawLength) +
                     node.ValueBegin / 2;
        *buffer = text;
        *length = node.ValueBytes == 0 ? 0 : static_cast<UINT>(std::strlen(text) + 1);
    } else {
        *buffer = const_cast<unsigned char*>(bytes) + node.ValueBegin;
        *length = static_cast<UINT>(node.ValueBytes);
    }
    return TRUE;
}

std::string BuildVersionInfo(const TVersionInfoDescription& description)
{
    std::string fixed(sizeof(VS_FIXEDFILEINFO), '\0');
    std::memcpy(fixed.data(), &description.Fixed, sizeof description.Fixed);

    std::vector<std::string> sections;
    if (!description.StringTables.empty()) {
        std::vector<std::string> tables;
        for (const TVersionStringTable& table : description.StringTables) {
            std::vector<std::string> strings;
            for (const auto& [name, text] : table.Values)
                strings.push_back(TextNode(name, text));
            tables.push_back(MakeNode(table.Block, kText, {}, 0, strings));
        }
        sections.push_back(MakeNode("StringFileInfo", kText, {}, 0, tables));
    }
    if (!description.Translations.empty()) {
        std::string pairs;
        for (DWORD translation : description.Translations)
            AppendDword(pairs, translation);
        const std::string var = MakeNode("Translation", kBinary, pairs, static_cast<WORD>(pairs.size()), {});
        sections.push_back(MakeNode("VarFileInfo", kText, {}, 0, {var}));
    }
    return MakeNode("VS_VERSION_INFO", kBinary, fixed, static_cast<WORD>(fixed.size()), sections);
}

bool ParseFileVersion(const std::string& text, DWORD& mostSignificant, DWORD& leastSignificant)
{
    DWORD parts[4] = {};
    size_t count = 0;
    size_t start = 0;
    while (true) {
        const size_t stop = std::min(text.find('.', start), text.size());
        const std::string_view digits(text.data() + start, stop - start);
        if (count == 4 || digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        DWORD value = 0;
        for (char c : digits)
            value = value * 10 + static_cast<DWORD>(c - '0');
        if (value > 0xFFFF)
            return false;
        parts[count++] = value;
        if (stop == text.size())
            break;
        start = stop + 1;
    }
    mostSignificant = parts[0] << 16 | parts[1];
    leastSignificant = parts[2] << 16 | parts[3];
    return true;
}

}  // namespace win
