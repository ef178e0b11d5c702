#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/installer/support/InflateSupport.h"
#include "installer/support/ZlibStream.h"
#include "platform/rtl/Classes.h"

namespace {

// Inflates a whole zlib stream; fails the test when it is not one, or has bytes after its end.
std::string Inflate(const std::string& compressed)
{
    return InflateWhole(compressed.data(), compressed.size());
}

// Text-like data with some noise: compressible, but not trivially.
std::string SampleData(size_t size, uint32_t seed = 1)
{
    static const char* const words[] = {"setup ", "install ", "archive ", "file ", "Windows ", "\r\n", "42 "};
    std::string data;
    data.reserve(size + 16);
    uint32_t state = seed;
    while (data.size() < size) {
        state = state * 1664525u + 1013904223u;
        if ((state >> 28) < 3)
            data += static_cast<char>(state >> 16);
        else
            data += words[(state >> 16) % 7];
    }
    data.resize(size);
    return data;
}

// Data deflate cannot shrink.
std::string NoiseData(size_t size)
{
    std::string data(size, '\0');
    uint32_t state = 7;
    for (char& c : data) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    return data;
}

std::string Contents(rtl::TStringStream& stream) { return stream.DataString(); }

// Writes `data` in pieces of the given sizes, repeated, and finishes.
std::string Compress(TCompressionLevel level, const std::string& data, const std::vector<size_t>& pieces = {})
{
    rtl::TStringStream destination;
    TCompressionStream zip(level, destination);
    size_t done = 0;
    for (size_t i = 0; done < data.size(); ++i) {
        const size_t piece = pieces.empty() ? data.size() : std::min(pieces[i % pieces.size()], data.size() - done);
        EXPECT_EQ(zip.Write(data.data() + done, static_cast<int64_t>(piece)), static_cast<int64_t>(piece));
        done += piece;
    }
    EXPECT_EQ(zip.Position(), static_cast<int64_t>(data.size()));
    zip.Finish();
    return Contents(destination);
}

// A destination that takes `capacity` bytes and then refuses.
class TShortStream : public rtl::TStream {
public:
    explicit TShortStream(int64_t capacity) : capacity_(capacity) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override
    {
        const int64_t taken = std::max<int64_t>(0, std::min(count, capacity_ - position_));
        data.append(static_cast<const char*>(buffer), static_cast<size_t>(taken));
        position_ += taken;
        return taken;
    }
    int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override
    {
        if (origin == rtl::soBeginning)
            position_ = offset;
        else if (origin == rtl::soCurrent)
            position_ += offset;
        else
            position_ = static_cast<int64_t>(data.size()) + offset;
        return position_;
    }
    void SetSize(int64_t) override {}
    std::string data;

private:
    int64_t capacity_;
    int64_t position_ = 0;
};

class ZlibStreamLevels : public ::testing::TestWithParam<TCompressionLevel> {};

}  // namespace

TEST_P(ZlibStreamLevels, InflatesBackToTheInput)
{
    const TCompressionLevel level = GetParam();
    EXPECT_EQ(Inflate(Compress(level, "")), "");
    EXPECT_EQ(Inflate(Compress(level, "x")), "x");
    EXPECT_EQ(Inflate(Compress(level, std::string(1, '\0'))), std::string(1, '\0'));

    const std::string large = SampleData(3 * 1024 * 1024 + 17);
    EXPECT_TRUE(Inflate(Compress(level, large, {1, 7, 4093, 65537, 3, 250000, 65536})) == large);
    const std::string noise = NoiseData(700 * 1000);
    EXPECT_TRUE(Inflate(Compress(level, noise, {65535, 1, 131073})) == noise);
}

TEST_P(ZlibStreamLevels, HeaderCarriesTheLevel)
{
    // The zlib header's FLEVEL bits: 0 for levels 0 and 1, 2 for the default, 3 for 9.
    const std::string out = Compress(GetParam(), SampleData(1000));
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x78);  // deflate, 32 KB window
    const int flevel = static_cast<unsigned char>(out[1]) >> 6;
    const int expected[] = {0, 0, 2, 3};
    EXPECT_EQ(flevel, expected[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(AllLevels, ZlibStreamLevels, ::testing::Values(colNone, colFastest, colDefault, colMax),
                         [](const ::testing::TestParamInfo<TCompressionLevel>& info) {
                             return std::string(vcl::EnumName(info.param));
                         });

TEST(ZlibStream, ProgressOncePerFullBlockOfOutput)
{
    rtl::TStringStream destination;
    std::vector<size_t> sizesAtProgress;
    {
        TCompressionStream zip(colNone, destination);
        zip.OnProgress = [&](rtl::TObject* sender) {
            EXPECT_EQ(sender, &zip);
            sizesAtProgress.push_back(destination.DataString().size());
        };
        const std::string noise = NoiseData(300000);
        for (size_t done = 0; done < noise.size(); done += 1000)
            zip.Write(noise.data() + done, 1000);
        zip.Finish();  // the rest leaves without a progress call
    }
    const size_t total = destination.DataString().size();
    ASSERT_EQ(sizesAtProgress.size(), total / TCustomZlibStream::BufferSize);
    for (size_t i = 0; i < sizesAtProgress.size(); ++i)
        EXPECT_EQ(sizesAtProgress[i], (i + 1) * TCustomZlibStream::BufferSize);
}

TEST(ZlibStream, SmallOutputWaitsForTheEnd)
{
    rtl::TStringStream destination;
    int calls = 0;
    {
        TCompressionStream zip(colMax, destination);
        zip.OnProgress = [&](rtl::TObject*) { ++calls; };
        const std::string data = SampleData(500000);  // compresses well below 64 KB
        zip.Write(data.data(), static_cast<int64_t>(data.size()));
        EXPECT_EQ(destination.DataString().size(), 0u);
    }  // finished by the destructor
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(Inflate(destination.DataString()) == SampleData(500000));
}

TEST(ZlibStream, WritingNothingStillGivesACompleteStream)
{
    rtl::TStringStream destination;
    { TCompressionStream zip(colDefault, destination); }
    EXPECT_EQ(Inflate(destination.DataString()), "");
    rtl::TStringStream other;
    TCompressionStream zip(colDefault, other);
    EXPECT_EQ(zip.Write("abc", 0), 0);
    zip.Finish();
    zip.Finish();  // once only
    EXPECT_EQ(Inflate(other.DataString()), "");
}

TEST(ZlibStream, OutputGoesWhereTheStreamStartedEvenWhenTheDestinationMoves)
{
    rtl::TStringStream destination("HEAD");
    destination.SetPosition(4);
    const std::string noise = NoiseData(200000);
    {
        TCompressionStream zip(colNone, destination);
        zip.OnProgress = [&](rtl::TObject*) { destination.SetPosition(0); };
        zip.Write(noise.data(), 100000);
        destination.SetPosition(1);
        zip.Write(noise.data() + 100000, 100000);
        destination.SetPosition(2);
        zip.Finish();
    }
    ASSERT_EQ(destination.DataString().substr(0, 4), "HEAD");
    EXPECT_TRUE(Inflate(destination.DataString().substr(4)) == noise);
}

TEST(ZlibStream, WriteOnlyAndForwardOnly)
{
    rtl::TStringStream destination;
    TCompressionStream zip(colDefault, destination);
    zip.Write("abcdef", 6);
    EXPECT_EQ(zip.Seek(0, rtl::soCurrent), 6);
    char buffer[4];
    for (auto attempt : std::vector<std::function<void()>>{
             [&] { zip.Read(buffer, 4); },
             [&] { zip.Seek(1, rtl::soCurrent); },
             [&] { zip.Seek(0, rtl::soBeginning); },
             [&] { zip.Seek(0, rtl::soEnd); },
             [&] { zip.SetSize(0); },
         }) {
        try {
            attempt();
            ADD_FAILURE() << "allowed";
        } catch (const rtl::EStreamError& e) {
            EXPECT_EQ(e.Message(), "Invalid stream operation");
        }
    }
    zip.Finish();
    EXPECT_EQ(zip.Position(), 6);
    EXPECT_THROW(zip.Write("g", 1), rtl::EStreamError);
    EXPECT_EQ(Inflate(destination.DataString()), "abcdef");
}

TEST(ZlibStream, ProgressHandlerCanStopTheWrite)
{
    rtl::TStringStream destination;
    const std::string noise = NoiseData(300000);
    struct TStop {};
    EXPECT_NO_THROW({
        TCompressionStream zip(colNone, destination);
        zip.OnProgress = [](rtl::TObject*) { throw TStop{}; };
        EXPECT_THROW(zip.Write(noise.data(), static_cast<int64_t>(noise.size())), TStop);
    });
    // The block before the stop was written; the destructor still ended the stream quietly.
    EXPECT_GE(destination.DataString().size(), static_cast<size_t>(TCustomZlibStream::BufferSize));
}

TEST(ZlibStream, FailedFinishRaisesButTheDestructorDoesNot)
{
    const std::string noise = NoiseData(200000);
    // Full blocks go while writing: a short destination fails the write itself.
    TShortStream tiny(1000);
    EXPECT_NO_THROW({
        TCompressionStream zip(colNone, tiny);
        EXPECT_THROW(zip.Write(noise.data(), static_cast<int64_t>(noise.size())), rtl::EWriteError);
    });
    // The end fails in Finish, which says so; the destructor after it is quiet.
    TShortStream small(10);
    EXPECT_NO_THROW({
        TCompressionStream zip(colMax, small);
        zip.Write("some text that needs more than ten bytes", 40);
        EXPECT_THROW(zip.Finish(), rtl::EWriteError);
    });
    // Without Finish the destructor swallows the failure.
    TShortStream none(0);
    EXPECT_NO_THROW({
        TCompressionStream zip(colDefault, none);
        zip.Write("abc", 3);
    });
}
