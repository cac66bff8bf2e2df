// A whole scan of 10,000 extension keys with every outcome, the 10 ms pause
// per extension switched off: the scan's own cost per examined extension,
// and its share of the pause it normally sits behind.

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "platform/Text.h"
#include "scan/Unit_QLV_Thread.h"
#include "tests/support/ScanRun.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

using namespace quelvo::platform;
using quelvo::scan::QLVO_Thread_Scan;

constexpr int kExtensions = 10000;
constexpr double kPauseMicroseconds = 10000.0;



// Ten extensions in a row cover the outcomes A to J once each.
void Fill(MemoryRegistry& registry)
{
    const std::u16string classes = u"SOFTWARE\\Classes\\";
    for (int i = 0; i < kExtensions; ++i) {
        const std::u16string n = IntToText(i);
        const std::u16string ext = classes + u".e" + n;
        const std::u16string progId = u"type" + n;
        const std::u16string command = classes + progId + u"\\Shell\\Open\\Command";
        switch (i % 10) {
        case 0: registry.CreateKey(classes + u"noext" + n); registry.CreateKey(ext); break;        // A, B
        case 1: registry.SetString(ext, u"", u""); registry.CreateKey(ext + u"\\OpenWithProgids"); break;  // C
        case 2: registry.SetString(ext, u"", u""); break;                                            // D
        case 3: registry.SetString(ext, u"", progId); registry.CreateKey(ext + u"\\ShellNew"); break; // E
        case 4: registry.SetString(ext, u"", progId); break;                                          // F
        case 5: registry.SetString(ext, u"", progId); registry.CreateKey(classes + progId); break;    // G
        case 6: registry.SetString(ext, u"", progId); registry.CreateKey(command); break;             // H
        case 7: registry.SetString(ext, u"", progId); registry.SetString(command, u"", u"notepad.exe %1"); break; // I
        case 8:
            registry.SetString(ext, u"", progId);
            registry.SetString(command, u"", u"\"%ProgramFiles%\\App " + n + u"\\app.exe\" \"%1\"");
            break;  // J
        default:
            registry.SetString(ext, u"", progId);
            registry.SetString(command, u"", u"C:\\PROGRA~1\\Foo\\foo.exe /x \"%1\"");
            break;  // J through the long-path conversion
        }
    }
}

void BM_ScanWithoutPause(benchmark::State& state)
{
    const auto driveC = std::filesystem::temp_directory_path() / "quelvo-bench-scan";
    std::filesystem::create_directories(driveC / "Program Files" / "Foo");
    std::ofstream(driveC / "Program Files" / "Foo" / "foo.exe") << "MZ";
    MemoryRegistry registry;
    Fill(registry);
    HostTarget target(registry,
                      {{u"SystemRoot", u"C:\\Windows"}, {u"ProgramFiles", u"C:\\Program Files"}, {u"windir", u"C:\\Windows"}},
                      {{u'C', driveC}});
    ScopedActiveTarget active(target);
    long examined = 0, names = 0, outcomes = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        names = 0;
        outcomes = 0;
        quelvo::test::RunScan([&](std::u16string_view, std::u16string_view, int) { ++outcomes; },
                              [&](std::u16string_view) { ++names; }, 600000);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        examined += names;
    }
    std::filesystem::remove_all(driveC);

    const double microsecondsPerExtension = examined ? seconds * 1e6 / double(examined) : 0.0;
    state.SetItemsProcessed(examined);
    state.counters["examined_per_scan"] = double(names);
    state.counters["outcomes_per_scan"] = double(outcomes);
    state.counters["us_per_extension"] = microsecondsPerExtension;
    state.counters["share_of_10ms_pause"] = microsecondsPerExtension / kPauseMicroseconds;
}
BENCHMARK(BM_ScanWithoutPause)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
