// Recovery of a dirty hive as the offline store makes it, against copying
// the same bytes with cp: a generated ~100 MB SOFTWARE hive whose logs hold
// ~40 MB of entries (pages of the hive itself, 1 MB an entry, split between
// LOG1 and LOG2).
//   bench_hive_recovery [folder] [hive MB] [log MB] [rounds]
// Rounds alternate so that a busy machine weighs on every side alike; each
// side prints its median and fastest time and the ratio to cp (target: at
// most 3 for the recovery).
//   recovery: read the hive and logs through their descriptors, check and
//             apply the entries, and write the private working copy
//   store open: the same plus hivex reading the working copy (what the
//             program does before its first scan)

#include "BenchHive.h"
#include "HiveTestSupport.h"
#include "platform/files/FileIo.h"
#include "platform/files/HiveRecovery.h"
#include "platform/files/HiveStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quelvo;
using namespace quelvo::platform::files;
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

struct Side {
    const char* name;
    std::vector<double> times;
    double Median() const
    {
        auto v = times;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double Fastest() const { return *std::min_element(times.begin(), times.end()); }
};

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quelvo-hive-recovery-bench";
    const std::size_t hiveMb = argc > 2 ? std::size_t(std::atoi(argv[2])) : 100;
    const std::size_t logMb = argc > 3 ? std::size_t(std::atoi(argv[3])) : 40;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    fs::remove_all(folder);
    const fs::path config = folder / "config";
    const fs::path hive = config / "SOFTWARE";
    bench::GenerateHive(hive, hiveMb, 1000);

    // The dirty state: the file one write behind, its logs carrying pages
    // spread over the whole hive.
    const std::string clean = Read(hive);
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

    Side cp{"cp of the hive and its logs", {}}, recovery{"recovery into the working copy", {}},
        open{"store open (recovery + hivex)", {}};
    const fs::path copies = folder / "copies";
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(copies);
        fs::create_directories(copies);
        auto start = Clock::now();
        Check(std::system(("cp '" + hive.string() + "' '" + hive.string() + ".LOG1' '" + hive.string() + ".LOG2' '"
                           + copies.string() + "/'")
                              .c_str())
                  == 0,
              "cp");
        cp.times.push_back(Seconds(start));

        start = Clock::now();
        {
            const std::string primary = Read(hive);
            const std::string log1 = Read(config / "SOFTWARE.LOG1"), log2 = Read(config / "SOFTWARE.LOG2");
            hive::Recovery r = hive::RecoverHive(primary, {{"SOFTWARE.LOG1", log1}, {"SOFTWARE.LOG2", log2}});
            Check(r.outcome == hive::Recovery::Recovered, "the recovery");
            const int fd = ::memfd_create("bench", MFD_CLOEXEC);
            Check(fd >= 0 && WriteAll(fd, r.image), "the working copy");
            ::close(fd);
        }
        recovery.times.push_back(Seconds(start));

        start = Clock::now();
        {
            std::u16string error;
            auto store = HiveStore::Open(hive, &error);
            Check(store && !store->RecoveredFrom().empty(), "the store's recovery");
        }
        open.times.push_back(Seconds(start));
    }
    for (const Side* side : {&cp, &recovery, &open})
        std::printf("%-32s %8.1f ms median, %8.1f ms fastest of %d, ratio to cp %.2f (fastest %.2f)\n", side->name,
                    side->Median() * 1000, side->Fastest() * 1000, rounds, side->Median() / cp.Median(),
                    side->Fastest() / cp.Fastest());
    fs::remove_all(folder);
    return 0;
}
