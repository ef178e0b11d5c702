#pragma once
// A small type library file ("MSFT" format) with only what LoadTypeLib reads: identity, language, version
// and the help file.

#include <array>
#include <cstdint>
#include <string>

inline std::string TypeLibraryBytes(const std::array<uint8_t, 16>& guid, uint32_t lcid, uint16_t major,
                                    uint16_t minor, const std::string& helpFile)
{
    std::string library(0x54 + 15 * 16, '\0');
    const auto put = [&library](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            library[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    };
    put(0, 0x5446534D);
    put(4, 0x00010002);
    put(0x0C, lcid);
    put(0x14, 1);  // a 32-bit library
    put(0x18, major | (uint32_t{minor} << 16));
    put(0x24, 0xFFFFFFFF);
    put(0x38, 0xFFFFFFFF);
    put(0x3C, 0);
    for (int segment = 0; segment < 15; ++segment)
        put(0x54 + static_cast<size_t>(segment) * 16, 0xFFFFFFFF);
    const size_t guidAt = library.size();
    library.append(reinterpret_cast<const char*>(guid.data()), guid.size());
    const size_t stringAt = library.size();
    library += std::string(1, static_cast<char>(helpFile.size())) + std::string(1, '\0') + helpFile;
    put(0x54 + 5 * 16, static_cast<uint32_t>(guidAt));
    put(0x54 + 5 * 16 + 4, 16);
    put(0x54 + 8 * 16, static_cast<uint32_t>(stringAt));
    put(0x54 + 8 * 16 + 4, static_cast<uint32_t>(2 + helpFile.size()));
    return library;
}
