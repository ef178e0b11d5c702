#pragma once
// Inflates one whole zlib stream for the tests; the stream must end exactly where the bytes do.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

inline std::string InflateWhole(const char* data, size_t length)
{
    z_stream zip{};
    EXPECT_EQ(inflateInit(&zip), Z_OK);
    zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zip.avail_in = static_cast<uInt>(length);
    std::string out;
    char buffer[32768];
    int status = Z_OK;
    while (status == Z_OK) {
        zip.next_out = reinterpret_cast<Bytef*>(buffer);
        zip.avail_out = sizeof buffer;
        status = inflate(&zip, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - zip.avail_out);
    }
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(zip.avail_in, 0u) << "bytes after the end of the zlib stream";
    inflateEnd(&zip);
    return out;
}
