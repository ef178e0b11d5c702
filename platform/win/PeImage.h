#pragma once
// Finding the version resource in an executable's bytes: the resource section of a Windows PE file (PE32
// or PE32+), or the version section of one of our own ELF executables. Every offset, size and count taken
// from the file is checked against the file before it is used, so a truncated or hostile file gives an
// error code, never a read past its end; the resource directory is walked a fixed three levels deep, so a
// directory that points back at itself cannot make the walk go round.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win/WinTypes.h"

namespace win {

// The ELF section that scrivane_version_resource() fills with a VS_VERSIONINFO block.
inline constexpr const char* kVersionSectionName = ".scrivane.version";

// Random access to an image's bytes.
class TImageBytes {
public:
    virtual ~TImageBytes() = default;
    virtual uint64_t Size() const = 0;
    // False (and nothing promised about `buffer`) when the range passes the end or cannot be read.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t count) const = 0;
};

class TMemoryImageBytes : public TImageBytes {
public:
    explicit TMemoryImageBytes(std::string_view bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const override;

private:
    std::string_view bytes_;
};

// The version resource's bytes, as stored (for a PE: the data entry's bytes, at most 64 KB, since a
// block cannot be longer). ERROR_SUCCESS, or why not: ERROR_BAD_EXE_FORMAT, ERROR_RESOURCE_DATA_NOT_FOUND,
// ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_LANG_NOT_FOUND (Version.h
// says when).
DWORD FindVersionResource(const TImageBytes& image, std::string& resource);

}  // namespace win
