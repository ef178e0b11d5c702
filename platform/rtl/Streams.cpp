// The streams of Classes.h and the whole-file helpers built on the file-system seam.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "platform/rtl/Classes.h"

namespace rtl {

namespace {

constexpr int64_t CopyChunk = 64 * 1024;

// Positions past the end are allowed (a write there fills the gap with zeros), negative ones are not.
int64_t NewPosition(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size)
{
    int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position : size;
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        throw EStreamError("Invalid stream position");
    return base + offset;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Position() { return Seek(0, TSeekOrigin::Current); }

void TStream::SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }

int64_t TStream::Size()
{
    int64_t position = Seek(0, TSeekOrigin::Current);
    int64_t size = Seek(0, TSeekOrigin::End);
    Seek(position, TSeekOrigin::Beginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0)
        return 0;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, CopyChunk)));
    int64_t left = count;
    while (left > 0) {
        int64_t n = std::min(left, CopyChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------------------
// TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    int64_t size = Size();
    if (count <= 0 || position_ >= size)
        return 0;
    int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (position_ > std::numeric_limits<int64_t>::max() - count)
        return 0;
    int64_t end = position_ + count;
    if (end > Size())
        data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = NewPosition(offset, origin, position_, Size());
    return position_;
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(size));
    position_ = std::min(position_, size);
}

void TMemoryStream::Clear()
{
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
    stream.SetPosition(0);
    int64_t size = stream.Size();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
    data_ = std::move(data);
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName)
{
    AnsiString bytes = ReadWholeFile(fileName);
    data_.assign(bytes.begin(), bytes.end());
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) { stream.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::SaveToFile(const AnsiString& fileName)
{
    WriteWholeFile(fileName, AnsiString(data_.begin(), data_.end()));
}

// ---------------------------------------------------------------------------------------------------------
// TStringStream

TStringStream::TStringStream(AnsiString data) : data_(std::move(data)) {}

int64_t TStringStream::Read(void* buffer, int64_t count)
{
    int64_t size = Size();
    if (count <= 0 || position_ >= size)
        return 0;
    int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TStringStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0 || position_ > std::numeric_limits<int64_t>::max() - count)
        return 0;
    int64_t end = position_ + count;
    if (end > Size())
        data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = NewPosition(offset, origin, position_, Size());
    return position_;
}

void TStringStream::SetSize(int64_t size)
{
    if (size < 0)
        throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(size));
    position_ = std::min(position_, size);
}

AnsiString TStringStream::ReadString(int64_t count)
{
    int64_t size = Size();
    if (count <= 0 || position_ >= size)
        return AnsiString();
    int64_t n = std::min(count, size - position_);
    AnsiString result = data_.substr(static_cast<size_t>(position_), static_cast<size_t>(n));
    position_ += n;
    return result;
}

void TStringStream::WriteString(const AnsiString& text) { WriteBuffer(text.data(), static_cast<int64_t>(text.size())); }

// ---------------------------------------------------------------------------------------------------------
// TFileStream

namespace {

constexpr uint32_t ErrorInvalidParameter = 87;

bool ShareFromMode(uint16_t mode, TFileShare& share)
{
    switch (mode & 0x00F0) {
    case fmShareCompat:
    case fmShareExclusive: share = TFileShare::Exclusive; return true;
    case fmShareDenyWrite: share = TFileShare::DenyWrite; return true;
    case fmShareDenyRead: share = TFileShare::DenyRead; return true;
    case fmShareDenyNone: share = TFileShare::DenyNone; return true;
    default: return false;
    }
}

bool AccessFromMode(uint16_t mode, TFileAccess& access)
{
    switch (mode & 0x0003) {
    case fmOpenRead: access = TFileAccess::Read; return true;
    case fmOpenWrite: access = TFileAccess::Write; return true;
    case fmOpenReadWrite: access = TFileAccess::ReadWrite; return true;
    default: return false;
    }
}

}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, uint16_t mode) : fileName_(fileName)
{
    const bool create = (mode & fmCreate) == fmCreate;
    TFileAccess access = TFileAccess::ReadWrite;
    TFileShare share = TFileShare::Exclusive;
    uint32_t error = 0;
    bool valid = ShareFromMode(mode, share) && (create || AccessFromMode(mode, access));
    if (valid) {
        handle_ = FileSystem().Open(fileName, access, share,
                                    create ? TFileDisposition::CreateAlways : TFileDisposition::OpenExisting,
                                    &error);
    } else {
        error = ErrorInvalidParameter;
    }
    if (!handle_) {
        const AnsiString reason = SysErrorMessage(error);
        if (create)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream()
{
    try {
        handle_.reset();
    } catch (...) {
        // A destructor must not throw; the handle is gone either way.
    }
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    uint32_t error = 0;
    int64_t n = handle_->Read(buffer, count, &error);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    uint32_t error = 0;
    int64_t n = handle_->Write(buffer, count, &error);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    uint32_t error = 0;
    int64_t position = handle_->Seek(offset, origin, &error);
    if (position < 0)
        throw EStreamError("Cannot seek in file \"" + fileName_ + "\". " + SysErrorMessage(error));
    return position;
}

int64_t TFileStream::Size() { return handle_->Size(); }

void TFileStream::SetSize(int64_t size)
{
    uint32_t error = 0;
    if (size < 0 || !handle_->SetSize(size, &error))
        throw EStreamError("Cannot change the size of file \"" + fileName_ + "\". " +
                           SysErrorMessage(size < 0 ? ErrorInvalidParameter : error));
}

// ---------------------------------------------------------------------------------------------------------
// Whole files

AnsiString ReadWholeFile(const AnsiString& fileName, TFileShare share)
{
    uint32_t error = 0;
    std::unique_ptr<IFileHandle> file =
        FileSystem().Open(fileName, TFileAccess::Read, share, TFileDisposition::OpenExisting, &error);
    if (!file)
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysErrorMessage(error));
    int64_t size = file->Size();
    AnsiString bytes;
    if (size > 0)
        bytes.reserve(static_cast<size_t>(size));
    // Read until the end rather than trusting the size: the file may change while it is read.
    std::vector<char> buffer(CopyChunk);
    for (;;) {
        int64_t n = file->Read(buffer.data(), CopyChunk, &error);
        if (n < 0)
            throw EReadError("Cannot read file \"" + fileName + "\". " + SysErrorMessage(error));
        if (n == 0)
            break;
        bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    return bytes;
}

namespace {

constexpr uint32_t ErrorFileExists = 80;
constexpr uint32_t ErrorAlreadyExists = 183;

std::atomic<unsigned> temporaryCounter{0};

// A new file beside `fileName`, created exclusively; null with `error` set when none can be made.
std::unique_ptr<IFileHandle> CreateTemporaryBeside(const AnsiString& fileName, AnsiString& temporaryName,
                                                   uint32_t& error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryName = fileName + ".~" + IntToHex(temporaryCounter.fetch_add(1), 4);
        auto handle = FileSystem().Open(temporaryName, TFileAccess::Write, TFileShare::Exclusive,
                                        TFileDisposition::CreateNew, &error);
        if (handle || (error != ErrorFileExists && error != ErrorAlreadyExists))
            return handle;
    }
    return nullptr;
}

}  // namespace

void WriteWholeFile(const AnsiString& fileName, const AnsiString& bytes)
{
    AnsiString temporaryName;
    uint32_t error = 0;
    std::unique_ptr<IFileHandle> handle = CreateTemporaryBeside(fileName, temporaryName, error);
    if (!handle)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + SysErrorMessage(error));
    auto discard = [&]() {
        handle.reset();
        uint32_t ignored = 0;
        FileSystem().DeleteFile(temporaryName, &ignored);
    };
    size_t written = 0;
    while (written < bytes.size()) {
        int64_t n = handle->Write(bytes.data() + written, static_cast<int64_t>(bytes.size() - written), &error);
        if (n <= 0) {
            if (n == 0)
                error = 112;  // nothing written and no error: the disk is full
            discard();
            throw EWriteError("Cannot write file \"" + fileName + "\". " + SysErrorMessage(error));
        }
        written += static_cast<size_t>(n);
    }
    handle.reset();
    if (!FileSystem().ReplaceFile(temporaryName, fileName, &error)) {
        discard();
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + SysErrorMessage(error));
    }
}

}  // namespace rtl
