// The version check's notes: a version file of 1,000 to 100,000 note lines, split and shown in a newly
// shown window's memo and its widget, as the check does once the answer is in.
//
//   version_notes_bench [--benchmark_filter=...]
//
// The notes cost in proportion to the answer when "per_line" stays flat from 1,000 to 100,000 lines;
// the fitted complexity at the end says the same (N, not N^2).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "bench/BenchPrefix.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TestDriver.h"
#include "tool/update/CheckForNewVersions.h"

using rtl::AnsiString;

namespace {

// "1.0.0.57" and then `lines` note lines of a typical length.
void WriteVersionFile(rtl::TMemoryStream& body, int64_t lines)
{
    AnsiString text = "1.0.0.57\r\n";
    for (int64_t i = 0; i < lines; ++i)
        text += "- fixed case " + rtl::IntToStr(static_cast<long long>(i)) + " of the page editor\r\n";
    body.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

// Each check opens a new window, so the notes go into a memo and a widget that hold nothing yet: filling
// the same memo again with the same text would change nothing and measure only the splitting.
void BM_ShowVersionNotes(benchmark::State& state)
{
    rtl::TMemoryStream body;
    WriteVersionFile(body, state.range(0));
    int64_t shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TfrmCheckForNewVersions> form(new TfrmCheckForNewVersions(nullptr));
        form->RunningVersion = [] { return AnsiString("1.0.0.56"); };
        form->Show();
        vcl::Application->ProcessMessages();
        state.ResumeTiming();
        rtl::TStringList lines;
        body.SetPosition(0);
        TfrmCheckForNewVersions::SplitBodyLines(lines, body);
        form->ShowVersionFile(lines);
        vcl::Application->ProcessMessages();  // the window shows the notes
        state.PauseTiming();
        shown = form->mmoVersionNotes->Lines()->Count();
        form->Hide();
        form.reset();
        vcl::Application->ProcessMessages();
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(shown);
    state.SetComplexityN(state.range(0));
    state.counters["per_line"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ShowVersionNotes)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TBenchPrefix prefix;
    vcl::test::Begin([](const AnsiString& failure) { std::fprintf(stderr, "driver: %s\n", failure.c_str()); });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vcl::test::End();
    return 0;
}
