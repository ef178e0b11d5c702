// The distribution build and the installation's extraction for 500, 2,000 and 8,000 small files, per file.
// Run from a Release build:
//
//   distribution_bench [--benchmark_filter=...]
//
// The build adds each file to its archive in a compress run of its own, as the driver's build does; the
// installation extracts each entry in an extraction of its own through one shared component. Both stay
// proportional to the number of files when "per_file" is flat from 500 to 8,000; the exponents at the end
// say the same (1 is linear).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "bench/BenchPrefix.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/support/TrwkCompress.h"
#include "installer/support/TrwkRegistry.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"

using rtl::AnsiString;

namespace {

std::string Host(const std::string& windowsPath) { return win::HostPathFromWindows(windowsPath).value_or(""); }

void WriteFile(const std::string& windowsPath, const std::string& bytes)
{
    rtl::TFileStream file(windowsPath, rtl::fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// A source folder of `count` text files of about 2 KB, each a little different; made once per count.
std::string SourceFolder(int64_t count)
{
    const std::string folder = "C:\\src" + std::to_string(count);
    if (std::filesystem::exists(Host(folder)))
        return folder;
    win::CreateDirectory(folder.c_str(), nullptr);
    for (int64_t i = 0; i < count; ++i) {
        std::string text;
        for (int line = 0; text.size() < 2000; ++line)
            text += "file " + std::to_string(i) + " line " + std::to_string(line) + " of the distribution\r\n";
        WriteFile(folder + "\\file" + std::to_string(i) + ".txt", text);
    }
    return folder;
}

// The library folder with its loading program, as the build looks it up.
void ProvideLoader()
{
    win::CreateDirectory("C:\\ulo", nullptr);
    win::CreateDirectory("C:\\ulo\\lib", nullptr);
    WriteFile("C:\\ulo\\lib\\T32V52.TXT", "marker");
    WriteFile("C:\\ulo\\lib\\TarnwickLoadProgram.exe", std::string(3000, 'L'));
    RegWriteString(win::HKEY_CURRENT_USER, "\\Software\\PESK\\T32V52\\Library", "Search Path", "$(ROOT)\\lib\\");
    RegWriteString(win::HKEY_LOCAL_MACHINE, "\\Software\\PESK\\T32V52", "RootDir", "C:\\ulo");
    WriteFile("C:\\setup.exe", "the setup program");
}

// Seconds per file of the best run, by benchmark and count.
std::map<std::pair<std::string, int64_t>, double>& PerFile()
{
    static std::map<std::pair<std::string, int64_t>, double> best;
    return best;
}

void Record(const std::string& kind, int64_t count, double seconds)
{
    auto [it, added] = PerFile().try_emplace({kind, count}, seconds / static_cast<double>(count));
    if (!added)
        it->second = std::min(it->second, seconds / static_cast<double>(count));
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void SetPerFileCounter(benchmark::State& state)
{
    state.counters["per_file"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A driver on a form of its own with directories of 100 files each, every file of the source folder in
// one. Adding a file to a directory looks through the directory's files, so one directory of 8,000 would
// make the setting up, not the build, the figure.
struct TSetupForm {
    static constexpr int64_t FilesPerDirectory = 100;

    explicit TSetupForm(const std::string& sources, int64_t count) : form(std::make_unique<vcl::TForm>(nullptr))
    {
        auto* install = new TInstall(form.get());
        install->SetName("Install");
        install->SetSourceDir("C:\\dist");
        install->SetDestDir("\\MyApplication");
        auto* group = new TInstallGroup(form.get());
        group->SetName("Group");
        group->SetDescription("Program");
        group->SetContainer(install);
        TInstallDirectory* docs = nullptr;
        for (int64_t i = 0; i < count; ++i) {
            if (i % FilesPerDirectory == 0) {
                const std::string number = std::to_string(i / FilesPerDirectory);
                docs = new TInstallDirectory(form.get());
                docs->SetName("Docs" + number);
                docs->SetDescription("Documentation " + number);
                docs->SetContainer(group);
                docs->SetDestDir("\\Docs" + number);
            }
            TCustomInstallFile* file = TInstallFile::CreateInContainer(
                form.get(), docs, sources + "\\file" + std::to_string(i) + ".txt");
            file->SetName("File" + std::to_string(i));
        }
        driver = install;
    }
    std::unique_ptr<vcl::TForm> form;
    TInstall* driver = nullptr;
};

void BM_BuildDistribution(benchmark::State& state)
{
    const int64_t count = state.range(0);
    const std::string sources = SourceFolder(count);
    ProvideLoader();
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ignored;
        std::filesystem::remove_all(Host("C:\\build"), ignored);
        auto setup = std::make_unique<TSetupForm>(sources, count);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        setup->driver->BuildDistribution("C:\\setup.exe", "C:\\build", true);
        Record("build", count, SecondsSince(start));
        state.PauseTiming();
        setup.reset();
        ResetInstallEngine();
        state.ResumeTiming();
    }
    SetPerFileCounter(state);
}

void BM_ExtractEachFile(benchmark::State& state)
{
    const int64_t count = state.range(0);
    const std::string sources = SourceFolder(count);
    const std::string archive = "C:\\read" + std::to_string(count) + "\\files.1";
    rtl::TStringList paths;
    for (int64_t i = 0; i < count; ++i)
        paths.Add(sources + "\\file" + std::to_string(i) + ".txt");
    {
        TTrwkCompress writer(nullptr);
        writer.SetCompressedFile(archive);
        rtl::TStringList list;
        list.Assign(paths);
        writer.SetFilesToProcess(&list);
        writer.Compress(lzcOverwrite, 1);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ignored;
        std::filesystem::remove_all(Host("C:\\extract"), ignored);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        TTrwkCompress zip(nullptr);
        zip.SetCompressedFile(archive);
        zip.SetExtractDirectory("C:\\extract");
        for (int i = 0; i < paths.Count(); ++i) {
            rtl::TStringList one;
            one.Add(paths[i]);
            zip.SetFilesToProcess(&one);
            zip.Extract();
        }
        Record("extract", count, SecondsSince(start));
    }
    SetPerFileCounter(state);
}

BENCHMARK(BM_BuildDistribution)->Arg(500)->Arg(2000)->Arg(8000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExtractEachFile)->Arg(500)->Arg(2000)->Arg(8000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TBenchPrefix prefix;
    RegisterInstallObjectClasses();
    {
        // The window system up, as in the setup program, but no window open while working.
        auto form = std::make_unique<vcl::TForm>(nullptr);
        form->Show();
        vcl::Application->ProcessMessages();
        form->Hide();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Each size against the one four times smaller.
    for (const auto& [key, seconds] : PerFile()) {
        const auto smaller = PerFile().find({key.first, key.second / 4});
        if (smaller == PerFile().end())
            continue;
        const double exponent = std::log(seconds * 4 / smaller->second) / std::log(4.0);
        std::printf("%s: %lld files %.3f ms per file, %lld files %.3f ms per file, exponent %.2f\n",
                    key.first.c_str(), static_cast<long long>(smaller->first.second), smaller->second * 1e3,
                    static_cast<long long>(key.second), seconds * 1e3, exponent);
    }
    return 0;
}
