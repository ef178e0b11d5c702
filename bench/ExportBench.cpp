// Many new files in one folder: the HTML export of 1,000 / 4,000 / 16,000 pages (one file per page beside
// the index), and as many empty files made through CreateFile. Every new name is looked up in its folder
// without regard to case before it is made, so these show whether that look-up re-reads the folder.
//
// Run from a Release build:
//
//   export_bench [--benchmark_filter=...]
//
// Each benchmark reports "us_per_item": the time of one page or file. The cost is linear when that figure
// stays flat from 1,000 to 16,000; the exponent between two sizes four times apart is
// log(t_big / t_small) / log(4) of the per-item times plus one.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "bench/BenchPrefix.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/win/Files.h"
#include "platform/win/Paths.h"
#include "tool/HtmlExport.h"
#include "tool/ProjectModel.h"

namespace {

TBenchPrefix& Prefix()
{
    static TBenchPrefix prefix;
    return prefix;
}

// A fresh, empty output folder for each run.
AnsiString NewFolder(const char* stem)
{
    static int run = 0;
    const AnsiString folder = AnsiString("C:\\") + stem + rtl::IntToStr(++run);
    win::CreateDirectory(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const AnsiString& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(*win::HostPathFromWindows(folder), ignored);
}

// Pages of a few lines each, every page linking the next.
void MakePages(int count, rtl::TStringList& pages)
{
    pages.SetOwnsObjects(true);
    for (int i = 0; i < count; ++i) {
        const AnsiString n = rtl::IntToStr(i);
        auto* page = new TPageObject;
        page->Name = "Page " + n;
        for (const AnsiString& line : {AnsiString("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"),
                                       AnsiString("{\\colortbl ;\\red0\\green128\\blue0;}"),
                                       "\\pard\\f0\\fs20 See \\cf1\\ul\\protect ##Next##\\cf0\\ulnone  \\protect0 page " +
                                           n + ".\\par",
                                       AnsiString("}")})
            page->Text.Add(line);
        auto* link = new TLinkObject;
        link->Name = "Next";
        link->LinkType = 0;
        link->Target = "Page " + rtl::IntToStr((i + 1) % count);
        link->Text = "the next page";
        page->Links.AddObject(link->Name, link);
        pages.AddObject(page->Name, page);
    }
}

void ReportPerItem(benchmark::State& state, int items, double seconds)
{
    state.SetIterationTime(seconds);
    state.counters["us_per_item"] = benchmark::Counter(seconds / items * 1e6);
}

void BM_HtmlExport(benchmark::State& state)
{
    Prefix();
    const int count = static_cast<int>(state.range(0));
    rtl::TStringList pages;
    MakePages(count, pages);
    TProjectState project;
    project.HelpFileName = "Bench";
    for (auto _ : state) {
        const AnsiString folder = NewFolder("html");
        const auto start = std::chrono::steady_clock::now();
        const THtmlExport html(pages, project, folder + "\\index.html");
        html.WriteIndex();
        for (int i = 0; i < count; ++i)
            html.WritePage(i, false);
        ReportPerItem(state, count, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        RemoveFolder(folder);
    }
}

void BM_CreateFiles(benchmark::State& state)
{
    Prefix();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const AnsiString folder = NewFolder("files");
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            const AnsiString name = folder + "\\File" + rtl::IntToStr(i) + ".dat";
            win::HANDLE handle = win::CreateFile(name.c_str(), win::GENERIC_WRITE, 0, nullptr, win::CREATE_NEW,
                                                 win::FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == win::INVALID_HANDLE_VALUE) {
                state.SkipWithError("CreateFile failed");
                break;
            }
            win::CloseHandle(handle);
        }
        ReportPerItem(state, count, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        RemoveFolder(folder);
    }
}

}  // namespace

BENCHMARK(BM_HtmlExport)->Arg(1000)->Arg(4000)->Arg(16000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CreateFiles)->Arg(1000)->Arg(4000)->Arg(16000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
