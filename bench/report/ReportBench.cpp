// Loading the file type library, and building the whole report (classification
// plus rows) and the after-repair view for a large scan.

#include "platform/Text.h"
#include "report/Unit_QLV_FileTypeLib.h"
#include "report/Unit_QLV_Report.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace quelvo;
using platform::TextDictionary;

namespace {

std::u16string Ext(int i) { return u".e" + platform::IntToText(i); }

// 5,000 lines: a header every 50 lines, UTF-8 with a mark, CRLF.
std::filesystem::path WriteLibrary(int lines)
{
    auto path = std::filesystem::temp_directory_path() / ("quelvo_bench_lib_" + std::to_string(::getpid()) + ".txt");
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF";
    for (int i = 0; i < lines; ++i) {
        if (i % 50 == 0)
            out << "==Group " << i / 50 << "==\r\n";
        else
            out << "e" << i << "\r\n";
    }
    return path;
}

void BM_LoadLibrary5000Lines(benchmark::State& state)
{
    auto path = WriteLibrary(5000);
    for (auto _ : state) {
        TextDictionary lib;
        report::func_LoadFileTypeLib(path, lib);
        benchmark::DoNotOptimize(lib.Count());
    }
    std::filesystem::remove(path);
    state.SetLabel("5,000 lines");
}
BENCHMARK(BM_LoadLibrary5000Lines)->Unit(benchmark::kMillisecond);

struct Scan {
    TextDictionary scanned, broken, lib;
};

// 10,000 extensions: 8,000 with a program (every other one present), 2,000
// broken; the library names half of them in 100 groups.
const Scan& LargeScan()
{
    static const Scan scan = [] {
        Scan s;
        for (int i = 0; i < 10000; ++i) {
            if (i % 5 == 4)
                s.broken.Add(Ext(i), u"");
            else
                s.scanned.Add(Ext(i), i % 2 ? u"C:\\present.exe" : u"C:\\gone.exe");
            if (i % 2 == 0)
                s.lib.Add(Ext(i), u"Group " + platform::IntToText(i % 100));
        }
        return s;
    }();
    return scan;
}

bool Exists(std::u16string_view path) { return path.size() == 14; }  // "C:\present.exe"

void BM_BuildReport10000(benchmark::State& state)
{
    const Scan& s = LargeScan();
    for (auto _ : state) {
        report::GroupDictionary problems, needsApplication, valid;
        report::ClassifyScanResults(s.scanned, s.broken, s.lib, u"", Exists, problems, needsApplication, valid);
        report::ReportView view = report::BuildReport(problems, needsApplication, valid);
        benchmark::DoNotOptimize(view.rows.data());
    }
    state.SetLabel("10,000 extensions, classification + rows");
}
BENCHMARK(BM_BuildReport10000)->Unit(benchmark::kMillisecond);

void BM_AfterRepair10000(benchmark::State& state)
{
    const Scan& s = LargeScan();
    report::GroupDictionary problems, needsApplication, valid;
    report::ClassifyScanResults(s.scanned, s.broken, s.lib, u"", Exists, problems, needsApplication, valid);
    for (auto _ : state) {
        report::AfterRepairView view = report::RepairAndBuildAfterRepairView(
            needsApplication, problems, [](std::u16string_view) { return true; });
        benchmark::DoNotOptimize(view.rows.data());
    }
    state.SetLabel("10,000 extensions, repair view");
}
BENCHMARK(BM_AfterRepair10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
