#include "installer/support/ZlibStream.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace {

[[noreturn]] void InvalidOperation() { throw rtl::EStreamError("Invalid stream operation"); }

int Check(int result)
{
    if (result < 0)
        throw rtl::Exception("error");
    return result;
}

// zlib counts its input in 32 bits; larger writes go in pieces of this size.
constexpr int64_t MaxPiece = int64_t{1} << 30;

}  // namespace

int ZlibCompressionLevel(TCompressionLevel level)
{
    switch (level) {
    case colNone:
        return Z_NO_COMPRESSION;
    case colFastest:
        return Z_BEST_SPEED;
    case colMax:
        return Z_BEST_COMPRESSION;
    case colDefault:
    default:
        return Z_DEFAULT_COMPRESSION;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TCustomZlibStream

struct TCustomZlibStream::TState {
    z_stream Zip{};
    std::vector<Bytef> Buffer = std::vector<Bytef>(BufferSize);
    bool Initialised = false;

    void ResetBuffer()
    {
        Zip.next_out = Buffer.data();
        Zip.avail_out = BufferSize;
    }
    int64_t Filled() const { return BufferSize - static_cast<int64_t>(Zip.avail_out); }
};

TCustomZlibStream::TCustomZlibStream(rtl::TStream& destination)
    : destination_(destination), destinationPosition_(destination.Position()), state_(std::make_unique<TState>())
{
    state_->ResetBuffer();
}

TCustomZlibStream::~TCustomZlibStream() = default;

void TCustomZlibStream::Progress(rtl::TObject* Sender)
{
    if (OnProgress)
        OnProgress(Sender);
}

// ---------------------------------------------------------------------------------------------------------
// TCompressionStream

TCompressionStream::TCompressionStream(TCompressionLevel level, rtl::TStream& destination)
    : TCustomZlibStream(destination)
{
    Check(deflateInit2(&state_->Zip, ZlibCompressionLevel(level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY));
    state_->Initialised = true;
}

TCompressionStream::~TCompressionStream()
{
    try {
        Finish();
    } catch (...) {
        // A destructor has no one to tell; Finish is the way to hear of it.
    }
    if (state_->Initialised)
        deflateEnd(&state_->Zip);
}

void TCompressionStream::ReturnDestination()
{
    // Someone else may have moved the destination between our blocks.
    if (destination_.Position() != destinationPosition_)
        destination_.SetPosition(destinationPosition_);
}

void TCompressionStream::WriteBlock(int64_t count)
{
    // A progress handler may have moved it too.
    ReturnDestination();
    destination_.WriteBuffer(state_->Buffer.data(), count);
    destinationPosition_ = destination_.Position();
    state_->ResetBuffer();
}

int64_t TCompressionStream::Write(const void* buffer, int64_t count)
{
    if (finished_)
        InvalidOperation();
    if (count <= 0)
        return 0;
    z_stream& zip = state_->Zip;
    ReturnDestination();
    const Bytef* data = static_cast<const Bytef*>(buffer);
    int64_t left = count;
    while (left > 0) {
        const int64_t piece = std::min(left, MaxPiece);
        zip.next_in = const_cast<Bytef*>(data);
        zip.avail_in = static_cast<uInt>(piece);
        while (zip.avail_in > 0) {
            Check(deflate(&zip, Z_NO_FLUSH));
            if (zip.avail_out == 0) {
                WriteBlock(BufferSize);
                Progress(this);
            }
        }
        data += piece;
        left -= piece;
    }
    return count;
}

void TCompressionStream::Finish()
{
    if (finished_)
        return;
    // Marked first: after a failure the stream is not finished a second time.
    finished_ = true;
    z_stream& zip = state_->Zip;
    try {
        zip.next_in = nullptr;
        zip.avail_in = 0;
        ReturnDestination();
        for (;;) {
            const int result = Check(deflate(&zip, Z_FINISH));
            if (result == Z_STREAM_END || zip.avail_out != 0)
                break;
            WriteBlock(BufferSize);
        }
        if (state_->Filled() > 0)
            WriteBlock(state_->Filled());
    } catch (...) {
        deflateEnd(&zip);
        state_->Initialised = false;
        throw;
    }
    deflateEnd(&zip);
    state_->Initialised = false;
}

int64_t TCompressionStream::Read(void*, int64_t) { InvalidOperation(); }

int64_t TCompressionStream::Seek(int64_t offset, rtl::TSeekOrigin origin)
{
    if (offset != 0 || origin != rtl::soCurrent)
        InvalidOperation();
    return static_cast<int64_t>(state_->Zip.total_in);
}

void TCompressionStream::SetSize(int64_t) { InvalidOperation(); }
