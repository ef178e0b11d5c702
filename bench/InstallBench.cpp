// Installs and uninstalls 500, 2,000 and 8,000 small files through the engine (compressed into the
// archive first, untimed), and adds 250 and 1,000 files to a directory through the run-time setters.
// Each figure is printed per file; the time per file should not grow with the count. Run from a Release
// build:
//
//   install_bench [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/BenchPrefix.h"
#include "installer/engine/FileContainers.h"
#include "installer/engine/Install.h"
#include "installer/engine/InstallFiles.h"
#include "installer/support/UninstallLayout.h"
#include "installer/uninstall/Uninstaller.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"

namespace {

using Clock = std::chrono::steady_clock;

TBenchPrefix& Prefix()
{
    static TBenchPrefix prefix;
    return prefix;
}

std::string HostC(const std::string& relative)
{
    return std::string(std::getenv("SCRIVANE_PREFIX")) + "/drive_c/" + relative;
}

// "C:\src<n>\file<i>.txt", a few dozen bytes each; a new folder per run so no run sees another's sources.
std::string WriteSources(int count)
{
    static int run = 0;
    const std::string folder = "src" + std::to_string(++run);
    std::filesystem::create_directories(HostC(folder));
    for (int i = 0; i < count; ++i)
        std::ofstream(HostC(folder + "/file" + std::to_string(i) + ".txt"))
            << "file " << i << " of the benchmark's small files\r\n";
    return "C:\\" + folder;
}

// A driver with a group holding one directory, as a setup's form has them.
struct TBenchSetup {
    std::unique_ptr<vcl::TForm> Form = std::make_unique<vcl::TForm>(nullptr);
    TInstall* Install = nullptr;
    TInstallDirectory* Files = nullptr;

    explicit TBenchSetup(const std::string& archiveFolder)
    {
        RegisterInstallObjectClasses();
        ResetInstallEngine();
        Install = new TInstall(Form.get());
        Install->SetName("Install");
        Install->SetSourceDir(archiveFolder);
        Install->SetDestDir("\\Bench");
        Install->Information()->SetProductName("Bench");
        auto* group = new TInstallGroup(Form.get());
        group->SetName("Group");
        group->SetContainer(Install);
        Files = new TInstallDirectory(Form.get());
        Files->SetName("Files");
        Files->SetContainer(group);
        Files->SetDestDir("\\Files");
    }
};

void AddFiles(TBenchSetup& setup, const std::string& sources, int count)
{
    for (int i = 0; i < count; ++i) {
        TCustomInstallFile* file = TInstallFile::CreateInContainer(
            setup.Form.get(), setup.Files, sources + "\\file" + std::to_string(i) + ".txt");
        file->SetName("File" + std::to_string(i));
    }
}

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void BM_InstallAndUninstall(benchmark::State& state)
{
    Prefix();
    const int count = static_cast<int>(state.range(0));
    double install = 0, uninstall = 0;
    for (auto _ : state) {
        const std::string sources = WriteSources(count);
        TBenchSetup setup("C:\\dist" + sources.substr(6));
        AddFiles(setup, sources, count);
        setup.Install->SetInstalling(true);
        setup.Install->SetCurrentInstallType(itFull);
        setup.Install->Compress(CompressOption::ForceNetFilesLocal);

        Clock::time_point start = Clock::now();
        {
            // As a setup's run does: its registry changes are written once, at its end.
            win::TRegistryBatch batch;
            setup.Install->InstallTree();
            if (batch.End() != win::ERROR_SUCCESS)
                state.SkipWithError("the registry could not be written");
        }
        install += Seconds(start);
        setup.Install->SetInstalling(false);

        start = Clock::now();
        TUninstallReport report;
        if (!RunUninstall("Bench", report) || !report.Failed.empty())
            state.SkipWithError("the uninstall left something");
        uninstall += Seconds(start);
        setup.Install->RemoveInstallKey();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["install_us_per_file"] = install / runs / count * 1e6;
    state.counters["uninstall_us_per_file"] = uninstall / runs / count * 1e6;
}
BENCHMARK(BM_InstallAndUninstall)->Arg(500)->Arg(2000)->Arg(8000)->Iterations(1)->Unit(benchmark::kSecond);

void BM_AddFilesThroughSetters(benchmark::State& state)
{
    Prefix();
    const int count = static_cast<int>(state.range(0));
    const std::string sources = WriteSources(count);
    double adding = 0;
    for (auto _ : state) {
        TBenchSetup setup("C:\\dist");
        const Clock::time_point start = Clock::now();
        AddFiles(setup, sources, count);
        adding += Seconds(start);
    }
    state.counters["add_us_per_file"] = adding / static_cast<double>(state.iterations()) / count * 1e6;
}
BENCHMARK(BM_AddFilesThroughSetters)->Arg(250)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
