// Recovery of a dirty hive as the offline store makes it, against copying
// the same bytes with cp: a generated ~100 MB SOFTWARE hive whose logs hold
// ~40 MB of entries (pages of the hive itself, 1 MB an entry, split between
// LOG1 and LOG2). The recovery is the store's: the hive and its logs copied
// into private memory, every entry checked and applied and the recovered
// bins checked, until the recovered hive is complete there (ReadWorkingCopy,
// the first step of the store's open). The store's whole open then also has
// hivex map and index it, as for any hive.
//   bench_hive_recovery [folder] [hive MB] [log MB] [rounds]
// The generated hive stays in the folder for the next run. Rounds alternate
// so that a busy machine weighs on both sides alike; each side prints its
// median wall-clock and processor times and their ratios to cp (target for
// the recovery: at most 3). The clean hive's open shows what reading a hive
// costs at all (its private copy, hivex's walk of every bin).

#include "BenchHive.h"
#include "tests/support/HiveBuilder.h"
#include "platform/files/FileIo.h"
#include "platform/files/HiveStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quelvo;
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench_hive_recovery: %s failed\n", what);
        std::exit(1);
    }
}

std::string Read(const fs::path& file)
{
    std::string bytes, error;
    Check(ReadWholeFile(file, &bytes, &error), "reading a file");
    return bytes;
}

void Write(const fs::path& file, const std::string& bytes)
{
    std::string error;
    Check(ReplaceFile(file, bytes, &error), "writing a file");
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time (user and system) of this process, or of its finished children.
double CpuSeconds(int who)
{
    rusage usage {};
    ::getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall-clock and processor time of each round: on a machine shared with
// other work the wall clock mostly says how busy it was, so both are shown.
struct Side {
    const char* name;
    std::vector<double> wall, cpu;
    void Time(int who, const std::function<void()>& run)
    {
        const double cpu0 = CpuSeconds(who);
        const auto start = Clock::now();
        run();
        wall.push_back(Seconds(start));
        cpu.push_back(CpuSeconds(who) - cpu0);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quelvo-hive-recovery-bench";
    const std::size_t hiveMb = argc > 2 ? std::size_t(std::atoi(argv[2])) : 100;
    const std::size_t logMb = argc > 3 ? std::size_t(std::atoi(argv[3])) : 40;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    const fs::path config = folder / "config";
    const fs::path hive = config / "SOFTWARE";
    const fs::path generated = config / "SOFTWARE.clean";  // kept for later runs with the same folder
    if (!fs::exists(generated)) {
        bench::GenerateHive(hive, hiveMb, 1000);
        fs::rename(hive, generated);
    }

    // The dirty state: the file one write behind, its logs carrying pages
    // spread over the whole hive.
    const std::string clean = Read(generated);
    const std::uint32_t n = test::SecondarySequence(clean);
    const std::uint32_t bins = test::BinsSize(clean);
    const std::size_t pages = std::min<std::size_t>(logMb * 256, bins / 4096);
    const std::size_t step = std::max<std::size_t>(1, bins / 4096 / pages);
    std::vector<test::LogEntrySpec> entries;
    for (std::size_t i = 0; i < pages; ++i) {
        if (i % 256 == 0)
            entries.push_back({n + std::uint32_t(entries.size()), bins, {}});
        const std::uint32_t at = std::uint32_t(i * step * 4096);
        entries.back().pages.emplace_back(at, clean.substr(4096 + at, 4096));
    }
    const std::size_t half = entries.size() / 2;
    Write(hive, test::WithSequenceNumbers(clean, n + 1, n));
    Write(config / "SOFTWARE.LOG1", test::NewFormatLog(clean, n, {entries.begin(), entries.begin() + half}));
    Write(config / "SOFTWARE.LOG2",
          test::NewFormatLog(clean, n + std::uint32_t(half), {entries.begin() + half, entries.end()}));
    const double total = double(fs::file_size(hive) + fs::file_size(config / "SOFTWARE.LOG1")
                                + fs::file_size(config / "SOFTWARE.LOG2"));
    std::printf("hive %.1f MB, logs %.1f MB in %zu entries\n", double(fs::file_size(hive)) / (1 << 20),
                (total - double(fs::file_size(hive))) / (1 << 20), entries.size());

    Side cp{"cp of the hive and its logs", {}, {}}, recovery{"recovery, to the recovered hive", {}, {}},
        dirtyOpen{"the store's open of the dirty hive", {}, {}}, asClean{"the same hive clean, opened", {}, {}};
    const fs::path copies = folder / "copies";
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(copies);
        fs::create_directories(copies);
        cp.Time(RUSAGE_CHILDREN, [&] {
            // Bytes really copied: no reflink, as a copy to another disk.
            Check(std::system(("cp --reflink=never '" + hive.string() + "' '" + hive.string() + ".LOG1' '"
                               + hive.string() + ".LOG2' '" + copies.string() + "/'")
                                  .c_str())
                      == 0,
                  "cp");
        });
        // The recovery alone is the first step of the store's open: the
        // files opened and the working copy made (ReadWorkingCopy). A store
        // or a copy is closed outside its time, as cp's copies are not
        // deleted within cp's.
        {
            HiveSources sources;
            WorkingCopy copy;
            recovery.Time(RUSAGE_SELF, [&] {
                std::u16string error;
                Check(sources.Open(hive, &error) && ReadWorkingCopy(sources, &copy, &error) && copy.recovered,
                      "the store's recovery");
            });
        }
        std::unique_ptr<HiveStore> store;
        dirtyOpen.Time(RUSAGE_SELF, [&] {
            std::u16string error;
            store = HiveStore::Open(hive, &error);
            Check(store && !store->RecoveredFrom().empty(), "the store's open");
        });
        store.reset();
        asClean.Time(RUSAGE_SELF, [&] {
            std::u16string error;
            store = HiveStore::Open(generated, &error);
            Check(store && store->RecoveredFrom().empty(), "the clean hive's open");
        });
        store.reset();
    }
    for (const Side* side : {&cp, &recovery, &dirtyOpen, &asClean})
        std::printf("%-36s wall %8.1f ms (ratio to cp %5.2f), processor %8.1f ms (ratio to cp %5.2f), medians of %d\n",
                    side->name, Median(side->wall) * 1000, Median(side->wall) / Median(cp.wall),
                    Median(side->cpu) * 1000, Median(side->cpu) / Median(cp.cpu), rounds);
    fs::remove_all(copies);
    return 0;
}
