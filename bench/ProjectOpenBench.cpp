// Opens a project of 1,000 and of 10,000 pages in the tool's main window, two ways:
//
//   - File > Open on the shown main window, whose page list is on the screen while the pages arrive;
//   - the project named on the command line, loaded as the window is first shown.
//
// Run from a Release build (it takes a few minutes: every page pauses 10 ms on purpose, so the progress bar
// advances visibly):
//
//   project_open_bench [--benchmark_filter=...]
//
// The pause is part of loading and cannot be skipped, so it is measured instead: before the benchmarks
// run, the real length of one pause (the 10 ms asked for plus the system's lateness in waking) is taken
// as the mean of many. Each benchmark reports, beside the wall time, "work_per_page": the time beyond the
// pauses divided by the number of pages. Loading is linear when that figure stays flat from 1,000 to
// 10,000 pages, and File > Open costs what a command-line load costs when the two figures are close. The
// CPU column counts only the work as well (a pause takes no processor time) and is the steadier figure on
// a busy machine.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchPrefix.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tool/AboutUnit.h"
#include "tool/MainUnit.h"

namespace {

const char ProgramFolder[] = "C:\\Program Files\\Scrivane";

double PauseSeconds = 0.010;

AnsiString ProjectPath(int pages) { return "C:\\bench\\pages" + rtl::IntToStr(pages) + ".wkp"; }

void Line(AnsiString& text, const AnsiString& line)
{
    text += line;
    text += "\r\n";
}

// A project of `pages` pages, each with a few lines of text holding a link marker, and its link.
void WriteProject(int pages)
{
    AnsiString text;
    for (const char* line : {"WKPFILEVERSION", "3", "bench.hlp", "16777215", "16777215", "0", "0", "200", "200", "0"})
        Line(text, line);
    Line(text, rtl::IntToStr(pages));
    for (int i = 0; i < pages; ++i) {
        const AnsiString n = rtl::IntToStr(i);
        for (const AnsiString& line : {"Page " + n, AnsiString(), "IDH_" + n, "Page " + n, AnsiString("bench")})
            Line(text, line);
        Line(text, "4");
        Line(text, "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}");
        Line(text, "{\\colortbl ;\\red0\\green128\\blue0;}");
        Line(text, "\\pard\\f0\\fs20 See \\cf1\\ul\\protect ##Next##\\cf0\\ulnone  \\protect0 page " + n + ".\\par");
        Line(text, "}");
        Line(text, "0");
        Line(text, "1");
        for (const AnsiString& line : {AnsiString("Next"), AnsiString("0"), "Page " + rtl::IntToStr((i + 1) % pages),
                                       AnsiString("the next page"), AnsiString("FALSE")})
            Line(text, line);
        Line(text, "0");
    }
    rtl::WriteWholeFile(ProjectPath(pages), text);
}

// The main window as the program makes it: the About box at creation, answered at once.
std::unique_ptr<TfrmMainMenu> MakeMainWindow()
{
    vcl::test::OnNextModal<TfrmAbout>([](TfrmAbout& about) { vcl::test::Click(*about.btnOK); });
    return std::unique_ptr<TfrmMainMenu>(new TfrmMainMenu(vcl::Application));
}

void SetArguments(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv{"Scrivane"};
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());
    win::SetCommandLine(static_cast<int>(argv.size()), argv.data());
}

// Times `open`, which must leave `form` showing all `pages` pages, and reports the work beyond the pauses.
template <class Open>
void TimeOpening(benchmark::State& state, int pages, Open open)
{
    const auto start = std::chrono::steady_clock::now();
    const TfrmMainMenu& form = open();
    vcl::Application->ProcessMessages();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["work_per_page"] = benchmark::Counter((seconds - pages * PauseSeconds) / pages * 1e6);
    state.counters["pages"] = pages;
    if (form.lstPages->Items()->Count() != pages)
        state.SkipWithError("the project did not load whole");
}

// File > Open with the main window on the screen.
void BM_OpenThroughFileMenu(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    SetArguments({});
    auto form = MakeMainWindow();
    form->Show();
    vcl::Application->ProcessMessages();
    for (auto _ : state) {
        vcl::test::AnswerFileDialog(ProjectPath(pages));
        TimeOpening(state, pages, [&]() -> const TfrmMainMenu& {
            form->Open1Click(nullptr);
            return *form;
        });
    }
}

// The project named on the command line: made, loaded and shown.
void BM_OpenFromCommandLine(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    SetArguments({ProjectPath(pages)});
    for (auto _ : state) {
        std::unique_ptr<TfrmMainMenu> form;
        TimeOpening(state, pages, [&]() -> const TfrmMainMenu& {
            form = MakeMainWindow();
            form->Show();
            return *form;
        });
    }
    SetArguments({});
}

BENCHMARK(BM_OpenThroughFileMenu)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_OpenFromCommandLine)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// The real length of the pause a page takes.
double MeasurePause()
{
    constexpr int Pauses = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Pauses; ++i)
        win::Sleep(10);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / Pauses;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TBenchPrefix prefix;
    std::filesystem::create_directories(win::HostPathFromWindows("C:\\bench").value_or(""));
    std::filesystem::create_directories(win::HostPathFromWindows(ProgramFolder).value_or(""));
    win::SetProgramPath(std::string(ProgramFolder) + "\\Scrivane.exe");
    // Windows are driven headless: the About box and the open dialog take scripted answers.
    vcl::test::Begin([](const AnsiString& failure) { std::fprintf(stderr, "driver: %s\n", failure.c_str()); });
    for (int pages : {1000, 10000})
        WriteProject(pages);
    PauseSeconds = MeasurePause();
    std::printf("one pause: %.3f ms\n", PauseSeconds * 1e3);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vcl::test::End();
    return 0;
}
