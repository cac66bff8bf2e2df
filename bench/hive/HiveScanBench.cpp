// A whole scan of an offline installation whose SOFTWARE hive is clean and
// about 100 MB, like a real one: the installation opened (the hive read
// through hivex) and every extension of HKLM\SOFTWARE\Classes examined, the
// 10 ms pause per extension switched off. It builds against other trees laid
// out as this one (tests/support), so that two builds can be timed side by
// side (scan-beside.sh):
//   bench_hive_scan [folder] [megabytes] [rounds] [extensions, default 10000]
// prints the median and fastest times of the rounds.

#include "BenchHive.h"
#include "platform/Target.h"
#include "platform/files/FileTargets.h"
#include "scan/Unit_QLV_Thread.h"
#include "tests/support/ScanRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace quelvo;
using namespace quelvo::platform;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int g_extensions = 10000;


void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench_hive_scan: %s failed\n", what);
        std::exit(1);
    }
}

double ScanOnce(const fs::path& root)
{
    const auto start = Clock::now();
    std::u16string error;
    auto target = files::OpenWindowsInstallation(root, &error);
    Check(target != nullptr, "opening the installation");
    ScopedActiveTarget active(*target);
    long outcomes = 0;
    Check(test::RunScan([&](std::u16string_view, std::u16string_view, int) { ++outcomes; }, {}, 600000), "the scan");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Check(outcomes >= g_extensions / 2, "the scan's outcomes");
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quelvo-hive-scan-bench";
    const std::size_t megabytes = argc > 2 ? std::size_t(std::atoi(argv[2])) : 100;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (argc > 4)
        g_extensions = std::atoi(argv[4]);
    const fs::path hive = folder / "Windows" / "System32" / "config" / "SOFTWARE";
    if (!fs::exists(hive)) {
        bench::GenerateHive(hive, megabytes, g_extensions);
        std::printf("hive: %.1f MB generated\n", double(fs::file_size(hive)) / (1024 * 1024));
    }
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i)
        times.push_back(ScanOnce(folder));
    std::sort(times.begin(), times.end());
    std::printf("scan of the installation: %.1f ms median, %.1f ms fastest of %d\n", times[times.size() / 2] * 1000,
                times.front() * 1000, rounds);
    return 0;
}
