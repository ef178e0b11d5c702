#include "platform/win/PeImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace win {

bool TMemoryImageBytes::ReadAt(uint64_t offset, void* buffer, size_t count) const
{
    if (offset > bytes_.size() || count > bytes_.size() - offset)
        return false;
    if (count > 0)
        std::memcpy(buffer, bytes_.data() + offset, count);
    return true;
}

namespace {

// A block's node length is a WORD, so no version resource is longer.
constexpr size_t kMaxVersionResource = 0xFFFF;

uint16_t Word(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Dword(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint64_t Qword(const unsigned char* p)
{
    return static_cast<uint64_t>(Dword(p)) | static_cast<uint64_t>(Dword(p + 4)) << 32;
}

bool ReadBytes(const TImageBytes& image, uint64_t offset, size_t count, std::vector<unsigned char>& out)
{
    if (offset > image.Size() || count > image.Size() - offset)
        return false;
    out.resize(count);
    return image.ReadAt(offset, out.data(), count);
}

// ---------------------------------------------------------------------------------------------------------
// PE

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kHighBit = 0x80000000;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr size_t kResourceDirectoryIndex = 2;

struct TSection {
    uint32_t VirtualAddress;
    uint32_t RawSize;
    uint32_t RawOffset;
};

struct TDirectoryEntry {
    uint32_t Name;
    uint32_t Offset;
};

class TPeReader {
public:
    explicit TPeReader(const TImageBytes& image) : image_(image) {}

    DWORD Find(std::string& resource)
    {
        if (DWORD error = ReadHeaders(); error != ERROR_SUCCESS)
            return error;
        if (resourceRva_ == 0 || resourceSize_ == 0)
            return ERROR_RESOURCE_DATA_NOT_FOUND;

        std::vector<TDirectoryEntry> entries;
        if (!ReadDirectory(0, entries))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        const auto type = std::find_if(entries.begin(), entries.end(), [](const TDirectoryEntry& e) {
            return (e.Name & kHighBit) == 0 && e.Name == kRtVersion;
        });
        if (type == entries.end())
            return ERROR_RESOURCE_TYPE_NOT_FOUND;
        if ((type->Offset & kHighBit) == 0 || !ReadDirectory(type->Offset & ~kHighBit, entries))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (entries.empty())
            return ERROR_RESOURCE_NAME_NOT_FOUND;
        if ((entries[0].Offset & kHighBit) == 0 || !ReadDirectory(entries[0].Offset & ~kHighBit, entries))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (entries.empty())
            return ERROR_RESOURCE_LANG_NOT_FOUND;
        if ((entries[0].Offset & kHighBit) != 0)
            return ERROR_RESOURCE_DATA_NOT_FOUND;  // a fourth level: not a data entry

        unsigned char data[kDataEntrySize];
        if (!ReadResourceDirectoryBytes(entries[0].Offset, data, sizeof data))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        const uint32_t dataRva = Dword(data);
        const size_t dataSize = std::min<size_t>(Dword(data + 4), kMaxVersionResource);
        resource.assign(dataSize, '\0');
        if (!ReadRva(dataRva, resource.data(), dataSize)) {
            resource.clear();
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        }
        return ERROR_SUCCESS;
    }

private:
    DWORD ReadHeaders()
    {
        std::vector<unsigned char> bytes;
        if (!ReadBytes(image_, 0, 64, bytes))
            return ERROR_BAD_EXE_FORMAT;
        const uint64_t peOffset = Dword(&bytes[0x3C]);
        // Signature and COFF header.
        if (!ReadBytes(image_, peOffset, 24, bytes) || std::memcmp(bytes.data(), "PE\0\0", 4) != 0)
            return ERROR_BAD_EXE_FORMAT;
        const size_t sectionCount = Word(&bytes[6]);
        const size_t optionalSize = Word(&bytes[20]);
        const uint64_t optionalOffset = peOffset + 24;

        std::vector<unsigned char> optional;
        if (optionalSize < 2 || !ReadBytes(image_, optionalOffset, optionalSize, optional))
            return ERROR_BAD_EXE_FORMAT;
        size_t countOffset = 0;
        switch (Word(optional.data())) {
        case 0x10B: countOffset = 92; break;   // PE32
        case 0x20B: countOffset = 108; break;  // PE32+
        default: return ERROR_BAD_EXE_FORMAT;
        }
        if (optionalSize < countOffset + 4)
            return ERROR_BAD_EXE_FORMAT;
        const uint64_t directoryCount = Dword(&optional[countOffset]);
        const size_t resourceEntry = countOffset + 4 + kResourceDirectoryIndex * 8;
        if (directoryCount > kResourceDirectoryIndex && optionalSize >= resourceEntry + 8) {
            resourceRva_ = Dword(&optional[resourceEntry]);
            resourceSize_ = Dword(&optional[resourceEntry + 4]);
        }

        std::vector<unsigned char> table;
        if (!ReadBytes(image_, optionalOffset + optionalSize, sectionCount * 40, table))
            return ERROR_BAD_EXE_FORMAT;
        sections_.reserve(sectionCount);
        for (size_t i = 0; i < sectionCount; ++i) {
            const unsigned char* s = &table[i * 40];
            sections_.push_back({Dword(s + 12), Dword(s + 16), Dword(s + 20)});
        }
        return ERROR_SUCCESS;
    }

    // The bytes at an address of the loaded image, when a section holds all of them in the file.
    bool ReadRva(uint64_t rva, void* buffer, size_t count) const
    {
        for (const TSection& s : sections_) {
            if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.RawSize)
                continue;
            const uint64_t within = rva - s.VirtualAddress;
            if (count > s.RawSize - within)
                return false;
            const uint64_t offset = s.RawOffset + within;
            return offset <= image_.Size() && count <= image_.Size() - offset && image_.ReadAt(offset, buffer, count);
        }
        return false;
    }

    // Directory structures lie inside the resource directory that the optional header declares.
    bool ReadResourceDirectoryBytes(uint64_t offset, void* buffer, size_t count) const
    {
        if (offset > resourceSize_ || count > resourceSize_ - offset)
            return false;
        return ReadRva(resourceRva_ + offset, buffer, count);
    }

    bool ReadDirectory(uint64_t offset, std::vector<TDirectoryEntry>& entries) const
    {
        unsigned char header[kDirectoryHeaderSize];
        if (!ReadResourceDirectoryBytes(offset, header, sizeof header))
            return false;
        const size_t count = static_cast<size_t>(Word(header + 12)) + Word(header + 14);
        std::vector<unsigned char> raw(count * kDirectoryEntrySize);
        if (!ReadResourceDirectoryBytes(offset + kDirectoryHeaderSize, raw.data(), raw.size()))
            return false;
        entries.clear();
        entries.reserve(count);
        for (size_t i = 0; i < count; ++i)
            entries.push_back({Dword(&raw[i * 8]), Dword(&raw[i * 8 + 4])});
        return true;
    }

    const TImageBytes& image_;
    std::vector<TSection> sections_;
    uint64_t resourceRva_ = 0;
    uint64_t resourceSize_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// ELF: our own executables carry the block in a section of their own.

constexpr uint32_t kShtNobits = 8;
constexpr uint32_t kShnXindex = 0xFFFF;
// More sections than any linker makes; a larger count is a corrupt header.
constexpr uint64_t kMaxElfSections = 1 << 20;

struct TElfSection {
    uint32_t Name;
    uint32_t Type;
    uint64_t Offset;
    uint64_t Size;
    uint32_t Link;
};

class TElfReader {
public:
    explicit TElfReader(const TImageBytes& image) : image_(image) {}

    DWORD Find(std::string& resource)
    {
        std::vector<unsigned char> header;
        if (!ReadBytes(image_, 0, 64, header) && !ReadBytes(image_, 0, 52, header))
            return ERROR_BAD_EXE_FORMAT;
        if (header[5] != 1)  // big-endian: none of ours
            return ERROR_RESOURCE_TYPE_NOT_FOUND;
        wide_ = header[4] == 2;
        if (header[4] != 1 && !wide_)
            return ERROR_BAD_EXE_FORMAT;
        if (wide_ && header.size() < 64)
            return ERROR_BAD_EXE_FORMAT;
        const uint64_t tableOffset = wide_ ? Qword(&header[0x28]) : Dword(&header[0x20]);
        const size_t entrySize = Word(&header[wide_ ? 0x3A : 0x2E]);
        uint64_t count = Word(&header[wide_ ? 0x3C : 0x30]);
        uint32_t namesIndex = Word(&header[wide_ ? 0x3E : 0x32]);
        if (tableOffset == 0)
            return ERROR_RESOURCE_TYPE_NOT_FOUND;  // no section table at all
        if (entrySize < (wide_ ? 64u : 40u))
            return ERROR_BAD_EXE_FORMAT;

        // Counts that do not fit the header live in section 0.
        TElfSection first;
        if (!ReadSection(tableOffset, entrySize, 0, first))
            return ERROR_BAD_EXE_FORMAT;
        if (count == 0)
            count = first.Size;
        if (namesIndex == kShnXindex)
            namesIndex = first.Link;
        if (count > kMaxElfSections || namesIndex >= count)
            return ERROR_BAD_EXE_FORMAT;

        std::vector<unsigned char> table;
        if (!ReadBytes(image_, tableOffset, count * entrySize, table))
            return ERROR_BAD_EXE_FORMAT;
        std::vector<TElfSection> sections(count);
        for (uint64_t i = 0; i < count; ++i)
            sections[i] = Parse(&table[i * entrySize]);

        const TElfSection& names = sections[namesIndex];
        std::vector<unsigned char> strings;
        if (names.Type == kShtNobits || !ReadBytes(image_, names.Offset, names.Size, strings))
            return ERROR_BAD_EXE_FORMAT;
        const std::string_view wanted = kVersionSectionName;
        for (const TElfSection& s : sections) {
            if (s.Name >= strings.size() || strings.size() - s.Name <= wanted.size())
                continue;
            if (std::memcmp(&strings[s.Name], wanted.data(), wanted.size()) != 0 ||
                strings[s.Name + wanted.size()] != 0)
                continue;
            if (s.Type == kShtNobits)
                return ERROR_RESOURCE_DATA_NOT_FOUND;
            const size_t size = static_cast<size_t>(std::min<uint64_t>(s.Size, kMaxVersionResource));
            std::vector<unsigned char> bytes;
            if (!ReadBytes(image_, s.Offset, size, bytes))
                return ERROR_RESOURCE_DATA_NOT_FOUND;
            resource.assign(bytes.begin(), bytes.end());
            return ERROR_SUCCESS;
        }
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }

private:
    TElfSection Parse(const unsigned char* p) const
    {
        if (wide_)
            return {Dword(p), Dword(p + 4), Qword(p + 24), Qword(p + 32), Dword(p + 40)};
        return {Dword(p), Dword(p + 4), Dword(p + 16), Dword(p + 20), Dword(p + 24)};
    }

    bool ReadSection(uint64_t tableOffset, size_t entrySize, uint64_t index, TElfSection& section) const
    {
        std::vector<unsigned char> bytes;
        if (!ReadBytes(image_, tableOffset + index * entrySize, entrySize, bytes))
            return false;
        section = Parse(bytes.data());
        return true;
    }

    const TImageBytes& image_;
    bool wide_ = false;
};

}  // namespace

DWORD FindVersionResource(const TImageBytes& image, std::string& resource)
{
    resource.clear();
    unsigned char magic[4] = {};
    if (image.Size() >= 2 && image.ReadAt(0, magic, std::min<uint64_t>(image.Size(), 4))) {
        if (magic[0] == 'M' && magic[1] == 'Z')
            return TPeReader(image).Find(resource);
        if (std::memcmp(magic, "\x7F" "ELF", 4) == 0)
            return TElfReader(image).Find(resource);
    }
    return ERROR_BAD_EXE_FORMAT;
}

}  // namespace win
