#pragma once
// Small executables made in memory for the tests of version resources: a PE file (DOS header, PE header,
// a code section and one resource section holding a version resource), and an ELF file with or without
// our version section. Each knows where its parts lie, so a test can corrupt exactly one of them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/PeImage.h"
#include "platform/win/Version.h"

namespace testpe {

inline void Put16(std::string& bytes, size_t offset, uint32_t value)
{
    if (bytes.size() < offset + 2)
        bytes.resize(offset + 2, '\0');
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void Put32(std::string& bytes, size_t offset, uint32_t value)
{
    Put16(bytes, offset, value & 0xFFFF);
    Put16(bytes, offset + 2, value >> 16);
}

inline void Put64(std::string& bytes, size_t offset, uint64_t value)
{
    Put32(bytes, offset, static_cast<uint32_t>(value));
    Put32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

inline uint32_t Get32(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(offset + static_cast<size_t>(i)));
    return value;
}

struct TVersionLayout {
    std::string FileVersion = "1.0.0.0";
    std::string ProductVersion;  // empty: as FileVersion
    win::DWORD FileOS = win::VOS__WINDOWS32;
    win::DWORD FileType = win::VFT_APP;
    win::DWORD FileSubtype = 0;
    std::string Block = "040904E4";
    std::vector<std::pair<std::string, std::string>> Values;
    std::vector<win::DWORD> Translations = {0x04E40409};
};

inline std::string VersionBlock(const TVersionLayout& layout)
{
    win::TVersionInfoDescription description;
    win::ParseFileVersion(layout.FileVersion, description.Fixed.dwFileVersionMS, description.Fixed.dwFileVersionLS);
    win::ParseFileVersion(layout.ProductVersion.empty() ? layout.FileVersion : layout.ProductVersion,
                          description.Fixed.dwProductVersionMS, description.Fixed.dwProductVersionLS);
    description.Fixed.dwFileOS = layout.FileOS;
    description.Fixed.dwFileType = layout.FileType;
    description.Fixed.dwFileSubtype = layout.FileSubtype;
    if (!layout.Values.empty())
        description.StringTables.push_back({layout.Block, layout.Values});
    description.Translations = layout.Translations;
    return win::BuildVersionInfo(description);
}

struct TPeOptions {
    bool Wide = false;              // PE32+
    bool ResourceSection = true;    // without: no resource directory at all
    bool VersionType = true;        // without: resources of other types only
    std::vector<uint32_t> OtherTypes = {3, 14};  // icons and icon groups, as most programs have
};

struct TPeFile {
    std::string Bytes;
    // File offsets.
    size_t OptionalHeader = 0;
    size_t DataDirectory = 0;  // the resource entry: RVA, size
    size_t SectionTable = 0;
    size_t Resources = 0;  // the root directory
    size_t VersionTypeEntry = 0;
    size_t NameDirectory = 0;
    size_t LanguageDirectory = 0;
    size_t DataEntry = 0;
    size_t Block = 0;
    uint32_t ResourceRva = 0;
};

inline TPeFile BuildPe(const std::string& block, const TPeOptions& options = {})
{
    constexpr size_t kPe = 0x80;
    constexpr uint32_t kTextRva = 0x1000;
    constexpr uint32_t kResourceRva = 0x2000;
    constexpr size_t kTextRaw = 0x200;
    constexpr size_t kResourceRaw = 0x400;

    TPeFile pe;
    std::string& b = pe.Bytes;
    b.assign(kResourceRaw, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPe);
    std::memcpy(&b[kPe], "PE\0\0", 4);
    const size_t sections = options.ResourceSection ? 2 : 1;
    const size_t optionalSize = options.Wide ? 240 : 224;
    Put16(b, kPe + 4, options.Wide ? 0x8664 : 0x14C);
    Put16(b, kPe + 6, static_cast<uint32_t>(sections));
    Put16(b, kPe + 20, static_cast<uint32_t>(optionalSize));
    Put16(b, kPe + 22, 0x0102);
    pe.OptionalHeader = kPe + 24;
    Put16(b, pe.OptionalHeader, options.Wide ? 0x20B : 0x10B);
    const size_t directories = pe.OptionalHeader + (options.Wide ? 112 : 96);
    Put32(b, directories - 4, 16);
    pe.DataDirectory = directories + 2 * 8;
    pe.SectionTable = pe.OptionalHeader + optionalSize;

    auto section = [&](size_t index, const char* name, uint32_t rva, size_t size, size_t raw) {
        const size_t s = pe.SectionTable + index * 40;
        std::memcpy(&b[s], name, std::strlen(name));
        Put32(b, s + 8, static_cast<uint32_t>(size));
        Put32(b, s + 12, rva);
        Put32(b, s + 16, static_cast<uint32_t>((size + 0x1FF) & ~size_t{0x1FF}));
        Put32(b, s + 20, static_cast<uint32_t>(raw));
    };
    section(0, ".text", kTextRva, 0x200, kTextRaw);
    if (!options.ResourceSection)
        return pe;

    // The resource section: root, one directory per type, the version's name and language directories,
    // its data entry, then the block.
    std::string r;
    std::vector<uint32_t> types = options.OtherTypes;
    if (options.VersionType)
        types.push_back(16);
    std::sort(types.begin(), types.end());
    Put16(r, 14, static_cast<uint32_t>(types.size()));
    size_t next = 16 + types.size() * 8;
    for (size_t i = 0; i < types.size(); ++i) {
        const size_t entry = 16 + i * 8;
        Put32(r, entry, types[i]);
        Put32(r, entry + 4, 0x80000000u | static_cast<uint32_t>(next));
        if (types[i] == 16)
            pe.VersionTypeEntry = entry;
        const size_t directory = next;
        next += 16;
        if (types[i] == 16) {
            // One entry, numbered 1, leading to the name directory.
            Put16(r, directory + 14, 1);
            Put32(r, directory + 16, 1);
            pe.NameDirectory = directory;
            next += 8;
        } else {
            Put16(r, directory + 14, 0);  // an empty directory is enough for the search
        }
    }
    if (options.VersionType) {
        pe.LanguageDirectory = next;
        Put32(r, pe.NameDirectory + 20, 0x80000000u | static_cast<uint32_t>(pe.LanguageDirectory));
        Put16(r, pe.LanguageDirectory + 14, 1);
        Put32(r, pe.LanguageDirectory + 16, 0x0409);
        pe.DataEntry = pe.LanguageDirectory + 24;
        Put32(r, pe.LanguageDirectory + 20, static_cast<uint32_t>(pe.DataEntry));
        const size_t blockOffset = (pe.DataEntry + 16 + 3) & ~size_t{3};
        Put32(r, pe.DataEntry, kResourceRva + static_cast<uint32_t>(blockOffset));
        Put32(r, pe.DataEntry + 4, static_cast<uint32_t>(block.size()));
        r.resize(blockOffset, '\0');
        r += block;
        pe.Block = kResourceRaw + blockOffset;
        pe.DataEntry += kResourceRaw;
        pe.NameDirectory += kResourceRaw;
        pe.LanguageDirectory += kResourceRaw;
    }
    pe.VersionTypeEntry += kResourceRaw;
    pe.Resources = kResourceRaw;
    pe.ResourceRva = kResourceRva;
    section(1, ".rsrc", kResourceRva, r.size(), kResourceRaw);
    Put32(b, pe.DataDirectory, kResourceRva);
    Put32(b, pe.DataDirectory + 4, static_cast<uint32_t>(r.size()));
    r.resize((r.size() + 0x1FF) & ~size_t{0x1FF}, '\0');
    b += r;
    return pe;
}

// A 64-bit little-endian ELF with a null section, the section-name table and, when `block` is given,
// the version section holding it.
struct TElfFile {
    std::string Bytes;
    size_t SectionTable = 0;
    size_t VersionSectionHeader = 0;
};

inline TElfFile BuildElf(const std::string* block)
{
    TElfFile elf;
    std::string& b = elf.Bytes;
    b.assign(64, '\0');
    std::memcpy(&b[0], "\x7F" "ELF", 4);
    b[4] = 2;  // 64-bit
    b[5] = 1;  // little-endian
    b[6] = 1;
    const std::string names = std::string("\0.shstrtab\0", 11) + win::kVersionSectionName + std::string(1, '\0');
    const size_t namesOffset = b.size();
    b += names;
    size_t blockOffset = 0;
    if (block) {
        b.resize((b.size() + 3) & ~size_t{3}, '\0');
        blockOffset = b.size();
        b += *block;
    }
    b.resize((b.size() + 7) & ~size_t{7}, '\0');
    elf.SectionTable = b.size();
    const size_t count = block ? 3 : 2;
    b.resize(b.size() + count * 64, '\0');
    Put64(b, 0x28, elf.SectionTable);
    Put16(b, 0x34, 64);
    Put16(b, 0x3A, 64);
    Put16(b, 0x3C, static_cast<uint32_t>(count));
    Put16(b, 0x3E, 1);
    const size_t strtab = elf.SectionTable + 64;
    Put32(b, strtab, 1);
    Put32(b, strtab + 4, 3);  // SHT_STRTAB
    Put64(b, strtab + 24, namesOffset);
    Put64(b, strtab + 32, names.size());
    if (block) {
        elf.VersionSectionHeader = elf.SectionTable + 128;
        Put32(b, elf.VersionSectionHeader, 11);
        Put32(b, elf.VersionSectionHeader + 4, 1);  // SHT_PROGBITS
        Put64(b, elf.VersionSectionHeader + 24, blockOffset);
        Put64(b, elf.VersionSectionHeader + 32, block->size());
    }
    return elf;
}

}  // namespace testpe
