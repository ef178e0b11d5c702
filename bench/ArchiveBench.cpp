// Writes an archive of about 50 MB of mixed files (text, machine-code-like binaries, incompressible data)
// and, in the same run, deflates the same bytes straight through zlib at the same level, then prints how
// much longer the archive took. Run from a Release build:
//
//   archive_bench [--benchmark_filter=...]
//
// The archive's work beyond zlib is reading the sources, writing the file, its headers and the progress
// steps (which let window messages through); it should stay within a tenth of zlib's own time.
//
// Extraction is measured the same way: the whole archive (written once at colMax) extracted into an
// empty folder, against inflating the same entry streams from memory straight through zlib.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchPrefix.h"
#include "installer/support/TrwkCompress.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"
#include "platform/win/Platform.h"

namespace {

struct TSource {
    std::string Path;  // Windows path
    std::string Bytes;
};

std::vector<TSource>& Corpus()
{
    static std::vector<TSource> corpus;
    return corpus;
}

uint64_t Next(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

std::string TextFile(size_t size, uint64_t seed)
{
    static const char* const words[] = {"the ", "installer ", "copies ", "each ", "file ", "into ", "its ",
                                        "folder ", "and ", "registers ", "shared ", "libraries ", "when ",
                                        "asked; ", "see ", "section ", "\r\n", "Windows ", "version ", "of "};
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        const uint64_t r = Next(seed);
        if (r % 11 == 0)
            text += std::to_string(r % 100000) + " ";
        else
            text += words[(r >> 8) % 20];
    }
    text.resize(size);
    return text;
}

// Opcodes from a small table with operands that are mostly small or share their high bytes, the way
// compiled code compresses.
std::string BinaryFile(size_t size, uint64_t seed)
{
    std::vector<std::string> opcodes;
    for (int i = 0; i < 48; ++i) {
        std::string op(static_cast<size_t>(1 + Next(seed) % 4), '\0');
        for (char& c : op)
            c = static_cast<char>(Next(seed));
        opcodes.push_back(op);
    }
    std::string bytes;
    bytes.reserve(size + 16);
    while (bytes.size() < size) {
        const uint64_t r = Next(seed);
        bytes += opcodes[r % opcodes.size()];
        const uint32_t operand = (r >> 8) % 4 == 0 ? static_cast<uint32_t>(0x00400000 + ((r >> 16) & 0xFFFF))
                                                   : static_cast<uint32_t>((r >> 16) & 0xFF);
        bytes.append(reinterpret_cast<const char*>(&operand), (r >> 40) % 2 ? 4 : 1);
    }
    bytes.resize(size);
    return bytes;
}

std::string NoiseFile(size_t size, uint64_t seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i + 8 <= size; i += 8) {
        const uint64_t r = Next(seed);
        std::copy_n(reinterpret_cast<const char*>(&r), 8, bytes.data() + i);
    }
    return bytes;
}

void MakeCorpus()
{
    win::CreateDirectory("C:\\bench", nullptr);
    win::CreateDirectory("C:\\bench\\src", nullptr);
    auto add = [](const std::string& name, std::string bytes) {
        const std::string path = "C:\\bench\\src\\" + name;
        rtl::TFileStream file(path, rtl::fmCreate);
        file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        Corpus().push_back({path, std::move(bytes)});
    };
    for (int i = 0; i < 48; ++i)
        add("text" + std::to_string(i) + ".txt", TextFile(400000 + 1000 * i, 1 + i));
    for (int i = 0; i < 12; ++i)
        add("prog" + std::to_string(i) + ".exe", BinaryFile(1600000 + 5000 * i, 101 + i));
    for (int i = 0; i < 2; ++i)
        add("data" + std::to_string(i) + ".cab", NoiseFile(5800000, 201 + i));
}

size_t CorpusBytes()
{
    size_t total = 0;
    for (const auto& source : Corpus())
        total += source.Bytes.size();
    return total;
}

// Best seconds per run, per kind and level.
std::map<std::pair<std::string, int>, double>& Best()
{
    static std::map<std::pair<std::string, int>, double> best;
    return best;
}

void Record(const char* kind, int level, double seconds)
{
    auto [it, added] = Best().try_emplace({kind, level}, seconds);
    if (!added)
        it->second = std::min(it->second, seconds);
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ArchiveCompress(benchmark::State& state)
{
    const auto level = static_cast<TCompressionLevel>(state.range(0));
    rtl::TStringList list;
    for (const auto& source : Corpus())
        list.Add(source.Path);
    for (auto _ : state) {
        TTrwkCompress zip(nullptr);
        zip.SetCompressedFile("C:\\bench\\out\\setup.1");
        zip.SetCompressionLevel(level);
        zip.SetFilesToProcess(&list);
        int64_t steps = 0;
        zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { ++steps; };
        const auto start = std::chrono::steady_clock::now();
        zip.Compress(lzcOverwrite, 1);
        Record("archive", state.range(0), SecondsSince(start));
        benchmark::DoNotOptimize(steps);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(CorpusBytes()));
}

void BM_ZlibDeflate(benchmark::State& state)
{
    const int zlibLevel = ZlibCompressionLevel(static_cast<TCompressionLevel>(state.range(0)));
    std::vector<Bytef> out;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t written = 0;
        for (const auto& source : Corpus()) {
            z_stream zip{};
            deflateInit2(&zip, zlibLevel, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
            out.resize(deflateBound(&zip, static_cast<uLong>(source.Bytes.size())));
            zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(source.Bytes.data()));
            zip.avail_in = static_cast<uInt>(source.Bytes.size());
            zip.next_out = out.data();
            zip.avail_out = static_cast<uInt>(out.size());
            deflate(&zip, Z_FINISH);
            written += zip.total_out;
            deflateEnd(&zip);
        }
        Record("zlib", state.range(0), SecondsSince(start));
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(CorpusBytes()));
}

// The archive that the extraction benchmarks read, written once, and its entries' streams in memory.
const char* const ReadArchive = "C:\\bench\\read\\setup.1";
const std::string ExtractFolder = "C:\\bench\\extract";

struct TStoredStream {
    std::string Path;  // stored path
    std::string Compressed;
    size_t Uncompressed = 0;
};

std::vector<TStoredStream>& Streams()
{
    static std::vector<TStoredStream> streams;
    return streams;
}

void MakeReadArchive()
{
    rtl::TStringList list;
    for (const auto& source : Corpus())
        list.Add(source.Path);
    TTrwkCompress zip(nullptr);
    zip.SetCompressedFile(ReadArchive);
    zip.SetFilesToProcess(&list);
    zip.Compress(lzcOverwrite, 1);

    rtl::TFileStream file(ReadArchive, rtl::fmOpenRead | rtl::fmShareDenyNone);
    for (int i = 0; i < zip.Count(); ++i) {
        TlzhFileStats status;
        zip.GetFileInfo(i, status);
        TStoredStream stream;
        stream.Path = status.FileName;
        stream.Uncompressed = static_cast<size_t>(status.Uncompressed);
        stream.Compressed.resize(static_cast<size_t>(status.Header.CompressedSize()));
        file.SetPosition(status.Header.DataStart());
        file.ReadBuffer(stream.Compressed.data(), static_cast<int64_t>(stream.Compressed.size()));
        Streams().push_back(std::move(stream));
    }
}

void BM_ArchiveExtract(benchmark::State& state)
{
    rtl::TStringList list;
    for (const auto& stream : Streams())
        list.Add(stream.Path);
    const std::string folder = win::HostPathFromWindows(ExtractFolder).value_or("");
    for (auto _ : state) {
        // Into an empty folder each time, so every run creates the same files.
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        TTrwkCompress zip(nullptr);
        zip.SetCompressedFile(ReadArchive);
        zip.SetExtractDirectory(ExtractFolder);
        zip.SetFilesToProcess(&list);
        int64_t steps = 0;
        zip.OnStatus = [&](rtl::TObject*, TlzhFileStats&) { ++steps; };
        const auto start = std::chrono::steady_clock::now();
        zip.Extract();
        Record("extract", 0, SecondsSince(start));
        benchmark::DoNotOptimize(steps);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(CorpusBytes()));
}

void BM_ZlibInflate(benchmark::State& state)
{
    std::vector<Bytef> out;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t inflated = 0;
        for (const auto& stream : Streams()) {
            out.resize(stream.Uncompressed + 1);
            z_stream zip{};
            inflateInit(&zip);
            zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.Compressed.data()));
            zip.avail_in = static_cast<uInt>(stream.Compressed.size());
            zip.next_out = out.data();
            zip.avail_out = static_cast<uInt>(out.size());
            inflate(&zip, Z_FINISH);
            inflated += zip.total_out;
            inflateEnd(&zip);
        }
        Record("inflate", 0, SecondsSince(start));
        benchmark::DoNotOptimize(inflated);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(CorpusBytes()));
}

// The best of three runs of each, so a busy machine disturbs the ratio as little as it can.
BENCHMARK(BM_ArchiveCompress)
    ->Arg(colMax)->Arg(colDefault)->Arg(colFastest)
    ->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibDeflate)
    ->Arg(colMax)->Arg(colDefault)->Arg(colFastest)
    ->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
// Extraction is quick: more runs, so the best of them is a steady figure.
BENCHMARK(BM_ArchiveExtract)->Iterations(7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibInflate)->Iterations(7)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TBenchPrefix prefix;
    {
        // The window system up, as in the setup program, but no window open while compressing.
        auto form = std::make_unique<vcl::TForm>(nullptr);
        form->Show();
        vcl::Application->ProcessMessages();
        form->Hide();
    }
    MakeCorpus();
    std::printf("corpus: %zu files, %.1f MB\n", Corpus().size(), static_cast<double>(CorpusBytes()) / 1e6);
    MakeReadArchive();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    static const char* const names[] = {"colNone", "colFastest", "colDefault", "colMax"};
    for (const auto& [key, seconds] : Best()) {
        if (key.first != "archive")
            continue;
        const auto zlib = Best().find({"zlib", key.second});
        if (zlib != Best().end())
            std::printf("archive / zlib time at %s: %.3f (%.3f s / %.3f s)\n", names[key.second],
                        seconds / zlib->second, seconds, zlib->second);
    }
    const auto extract = Best().find({"extract", 0});
    const auto inflated = Best().find({"inflate", 0});
    if (extract != Best().end() && inflated != Best().end())
        std::printf("extract / zlib inflate time: %.3f (%.3f s / %.3f s)\n", extract->second / inflated->second,
                    extract->second, inflated->second);
    Streams().clear();
    Corpus().clear();
    return 0;
}
