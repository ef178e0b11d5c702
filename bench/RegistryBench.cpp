// An installation run's registry work: N values, each under a key of its own as the uninstall records
// keep them, written into the registry of a new prefix. "Batched"
// is one write batch for the whole run, as an install or uninstall run has; "EachChange" writes the file
// after every change. Run from a Release build:
//
//   registry_bench [--benchmark_filter=...]
//
// The time per value is the counter "per_value"; batched it should not grow with N.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/BenchPrefix.h"
#include "platform/win/Platform.h"
#include "platform/win/Registry.h"

namespace {

void WriteValues(benchmark::State& state, bool batched)
{
    TBenchPrefix prefix;
    const int count = static_cast<int>(state.range(0));
    int run = 0;
    for (auto _ : state) {
        // Each round starts from the registry of a new prefix, loaded before the clock runs.
        state.PauseTiming();
        std::filesystem::remove(win::RegistryFilePath(win::HKEY_LOCAL_MACHINE));
        win::ResetPlatform();
        win::RegistryFilePath(win::HKEY_LOCAL_MACHINE);
        const std::string base = "SOFTWARE\\Bench\\Run" + std::to_string(run++);
        state.ResumeTiming();
        if (batched)
            win::BeginRegistryBatch();
        for (int i = 0; i < count; ++i) {
            win::HKEY key = nullptr;
            const std::string path = base + "\\File" + std::to_string(i);
            if (win::RegCreateKey(win::HKEY_LOCAL_MACHINE, path.c_str(), &key) != win::ERROR_SUCCESS) {
                state.SkipWithError("cannot create a key");
                return;
            }
            const std::string value = "C:\\Program Files\\Bench\\file" + std::to_string(i) + ".dat";
            win::RegSetValueEx(key, "Path", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(value.c_str()),
                               static_cast<win::DWORD>(value.size() + 1));
            win::RegCloseKey(key);
        }
        if (batched && win::EndRegistryBatch() != win::ERROR_SUCCESS) {
            state.SkipWithError("cannot write the registry");
            return;
        }
    }
    state.counters["per_value"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

void Batched(benchmark::State& state) { WriteValues(state, true); }
void EachChange(benchmark::State& state) { WriteValues(state, false); }

BENCHMARK(Batched)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EachChange)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
