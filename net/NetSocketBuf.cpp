#include "net/NetSocketBuf.h"

#include <algorithm>
#include <cstring>

namespace net {

namespace {

constexpr int DefaultBufferSize = 1514;

}  // namespace

TBuffer::TBuffer(int size) : buffer_(static_cast<size_t>(size > 0 ? size : DefaultBufferSize)) {}

int TBuffer::Write(const void* data, int length)
{
    int count = std::min(length, BufSize() - written_);
    if (count <= 0)
        return 0;
    std::memcpy(buffer_.data() + written_, data, static_cast<size_t>(count));
    written_ += count;
    return count;
}

const char* TBuffer::Peek(int& length) const
{
    length = written_ - read_;
    return length > 0 ? buffer_.data() + read_ : nullptr;
}

int TBuffer::Remove(int length)
{
    int count = std::clamp(length, 0, written_ - read_);
    read_ += count;
    if (read_ == written_)
        read_ = written_ = 0;
    return count;
}

void TBuffer::SetBufSize(int size)
{
    if (size <= 0)
        size = DefaultBufferSize;
    if (size == BufSize())
        return;
    if (written_ - read_ <= 0) {
        buffer_.assign(static_cast<size_t>(size), '\0');
        read_ = written_ = 0;
        return;
    }
    // The unread bytes move to the front of the new block, which never drops any of them.
    int unread = written_ - read_;
    std::vector<char> block(static_cast<size_t>(std::max(size, unread)));
    std::memcpy(block.data(), buffer_.data() + read_, static_cast<size_t>(unread));
    buffer_.swap(block);
    read_ = 0;
    written_ = unread;
}

}  // namespace net
