#pragma once
// One chunk of a socket's send buffer: a block of memory, filled from the back and drained from the front.
// When everything written has been read, both counts return to 0 and the chunk is used again.

#include <vector>

namespace net {

class TBuffer {
public:
    // A size of 0 or less gives the default of 1514 bytes.
    explicit TBuffer(int size);

    // Copies as much of `data` as fits behind what was written; the count copied, 0 when full.
    int Write(const void* data, int length);
    // The unread bytes and their count; null and 0 when there are none.
    const char* Peek(int& length) const;
    // Drops up to `length` unread bytes; the count dropped.
    int Remove(int length);
    // Keeps the unread bytes; the same size does nothing.
    void SetBufSize(int size);
    int BufSize() const { return static_cast<int>(buffer_.size()); }

private:
    std::vector<char> buffer_;
    int written_ = 0;
    int read_ = 0;
};

}  // namespace net
