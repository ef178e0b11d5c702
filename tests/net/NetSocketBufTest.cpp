// The send buffer's chunks: filling, draining, reuse and resizing without losing unread bytes.
#include <gtest/gtest.h>

#include <string>

#include "net/NetSocketBuf.h"

using net::TBuffer;

namespace {

std::string Unread(const TBuffer& buffer)
{
    int length = 0;
    const char* data = buffer.Peek(length);
    return data ? std::string(data, static_cast<size_t>(length)) : std::string();
}

TEST(NetSocketBufTest, WritesWhatFitsAndIsReusedWhenDrained)
{
    EXPECT_EQ(TBuffer(0).BufSize(), 1514);
    EXPECT_EQ(TBuffer(-5).BufSize(), 1514);
    TBuffer buffer(8);
    int length = -1;
    EXPECT_EQ(buffer.Peek(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(buffer.Write("abcdef", 6), 6);
    EXPECT_EQ(buffer.Write("ghijk", 5), 2);  // only what fits
    EXPECT_EQ(buffer.Write("z", 1), 0);       // full
    EXPECT_EQ(Unread(buffer), "abcdefgh");
    EXPECT_EQ(buffer.Remove(3), 3);
    EXPECT_EQ(Unread(buffer), "defgh");
    EXPECT_EQ(buffer.Write("z", 1), 0);  // still full behind the write count
    EXPECT_EQ(buffer.Remove(100), 5);    // at most the unread count
    // Everything read: the chunk is empty and takes a full block again.
    EXPECT_EQ(buffer.Peek(length), nullptr);
    EXPECT_EQ(buffer.Write("12345678", 8), 8);
    EXPECT_EQ(Unread(buffer), "12345678");
    EXPECT_EQ(buffer.Remove(-1), 0);
}

TEST(NetSocketBufTest, ResizeKeepsUnreadBytesEvenWhenShrinking)
{
    TBuffer buffer(10);
    buffer.Write("0123456789", 10);
    buffer.Remove(4);
    buffer.SetBufSize(20);
    EXPECT_EQ(buffer.BufSize(), 20);
    EXPECT_EQ(Unread(buffer), "456789");
    EXPECT_EQ(buffer.Write("abc", 3), 3);
    EXPECT_EQ(Unread(buffer), "456789abc");
    // Smaller than what waits: nothing unread is dropped.
    buffer.SetBufSize(4);
    EXPECT_EQ(Unread(buffer), "456789abc");
    // Without unread data the block is simply replaced.
    buffer.Remove(100);
    buffer.SetBufSize(3);
    EXPECT_EQ(buffer.BufSize(), 3);
    EXPECT_EQ(buffer.Write("wxyz", 4), 3);
    EXPECT_EQ(Unread(buffer), "wxy");
}

}  // namespace
