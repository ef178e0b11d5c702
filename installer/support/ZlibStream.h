#pragma once
// A write-only stream that deflates what is written to it into a destination stream, as one zlib stream
// (RFC 1950). Compressed output leaves in blocks of exactly BufferSize bytes, and OnProgress fires after each
// block, so a handler runs once per 64 KB of output, not per write; the rest follows at the end.
//
//   rtl::TFileStream archive(path, rtl::fmOpenReadWrite | rtl::fmShareDenyNone);
//   TCompressionStream zip(colMax, archive);
//   zip.OnProgress = [&](rtl::TObject*) { ... };   // may raise to stop
//   zip.CopyFrom(source, 0);
//   zip.Finish();                                 // raises when the end cannot be written
//
// The destructor finishes the stream too when Finish was not called, but it cannot report a failure, so a
// writer that must know calls Finish first.

#include <cstdint>
#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/TypInfo.h"

// Deflate's levels: 0, 1, zlib's default (-1) and 9.
VCL_ENUM(TCompressionLevel, colNone, colFastest, colDefault, colMax)
int ZlibCompressionLevel(TCompressionLevel level);

// The destination, the zlib state, the output buffer and the progress call shared by zlib streams.
class TCustomZlibStream : public rtl::TStream {
public:
    static constexpr int BufferSize = 65536;

    ~TCustomZlibStream() override;
    TCustomZlibStream(const TCustomZlibStream&) = delete;
    TCustomZlibStream& operator=(const TCustomZlibStream&) = delete;

    // Fired by Progress, after each full block written to the destination.
    rtl::TNotifyEvent OnProgress;

protected:
    explicit TCustomZlibStream(rtl::TStream& destination);

    virtual void Progress(rtl::TObject* Sender);

    struct TState;
    rtl::TStream& destination_;
    int64_t destinationPosition_;  // where the next block goes
    std::unique_ptr<TState> state_;
};

class TCompressionStream : public TCustomZlibStream {
public:
    TCompressionStream(TCompressionLevel level, rtl::TStream& destination);
    // Finishes the stream when Finish has not run; a failure is dropped, never raised.
    ~TCompressionStream() override;

    // Compresses all `count` bytes; returns count.
    int64_t Write(const void* buffer, int64_t count) override;
    // Write-only: "Invalid stream operation".
    int64_t Read(void* buffer, int64_t count) override;
    // Only Seek(0, soCurrent), which gives the number of bytes written so far (the uncompressed position).
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
    void SetSize(int64_t size) override;

    // Ends the zlib stream and writes the rest to the destination; Progress is not called. Runs once:
    // later calls do nothing, and writing afterwards fails.
    void Finish();

private:
    void ReturnDestination();
    void WriteBlock(int64_t count);

    bool finished_ = false;
};
