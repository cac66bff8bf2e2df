// One repair of an offline installation writes its hive once: 50 broken
// extension keys removed in one batch (backups flushed, the hive committed,
// flushed and renamed once) against a single commit of the same hive. The
// hive, about 100 MB like a real SOFTWARE hive, is generated here.
//   bench_hive_repair [folder] [megabytes]
// Prints both times and their ratio (target: at most 1.5). Nearly all of a
// repair is its one commit; the removals and backups cost about a
// millisecond, the backups' one flush a few more.

#include "BenchHive.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"
#include "platform/HostTarget.h"
#include "platform/Text.h"
#include "platform/files/FileIo.h"
#include "platform/files/HiveStore.h"
#include "regfile/RegFileWrite.h"
#include "scan/Unit_QLV_func_Repair.h"
#include "platform/files/RegBackup.h"

#include <hivex.h>

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
using namespace quelvo::platform::files;
using namespace quelvo::regfile;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRemoved = 50;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench_hive_repair: %s failed\n", what);
        std::exit(1);
    }
}

// Classes with the extensions to remove (each with a sub-key, as real ones
// with OpenWithProgids), and bulk keys of binary values up to the size.
void GenerateHive(const fs::path& file, std::size_t megabytes)
{
    test::WriteEmptyHive(file);
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    Check(h != nullptr, "hivex_open");
    const hive_node_h classes = hivex_node_add_child(h, hivex_root(h), "Classes");
    std::string sz = test::Utf16Sz(u"nosuchfile");
    for (int i = 0; i < kRemoved; ++i) {
        const std::string name = ".broken" + std::to_string(i);
        const hive_node_h ext = hivex_node_add_child(h, classes, name.c_str());
        hive_set_value value{const_cast<char*>(""), hive_t_REG_SZ, sz.size(), sz.data()};
        Check(hivex_node_set_value(h, ext, &value, 0) == 0, "set value");
        hivex_node_add_child(h, hivex_node_add_child(h, ext, "OpenWithProgids"), "nosuchfile");
    }
    bench::AddBulkKeys(h, megabytes);
    Check(hivex_commit(h, nullptr, 0) == 0, "hivex_commit");
    hivex_close(h);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A single commit of the opened hive, as every removal used to make.
double TimeSingleCommit(const fs::path& file)
{
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    Check(h != nullptr, "hivex_open");
    std::string error;
    const auto start = Clock::now();
    std::string bytes;
    const bool ok = CommitHiveToBytes(h, &bytes, &error) && ReplaceFile(file, bytes, &error);
    const auto stop = Clock::now();
    hivex_close(h);
    Check(ok, "single commit");
    return Seconds(stop - start);
}

// The repair as the window runs it, on a store opened (and scanned) before.
double TimeRepair(const fs::path& file, const fs::path& backups)
{
    std::u16string error;
    auto store = HiveStore::Open(file, &error);
    Check(store != nullptr, "HiveStore::Open");
    store->SetBackup(std::make_shared<RegBackup>(backups));
    HostTarget target(*store, {}, {});
    ScopedActiveTarget active(target);
    std::vector<std::u16string> extensions;
    for (int i = 0; i < kRemoved; ++i)
        extensions.push_back(u".broken" + IntToText(i));
    Check(store->Find(u"SOFTWARE\\Classes\\.broken0") != nullptr, "reading the extensions");
    const auto start = Clock::now();
    const scan::RepairOutcome outcome = scan::func_RepairExtensions(extensions);
    const auto stop = Clock::now();
    Check(std::all_of(outcome.fixed.begin(), outcome.fixed.end(), [](bool b) { return b; }), "the repair");
    return Seconds(stop - start);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const std::size_t megabytes = argc > 2 ? std::size_t(std::atoi(argv[2])) : 100;
    const fs::path work = folder / "quelvo-hive-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path master = work / "SOFTWARE.master";
    const fs::path hive = work / "SOFTWARE";

    const auto generating = Clock::now();
    GenerateHive(master, megabytes);
    std::printf("hive: %.1f MB, generated in %.1f s\n", double(fs::file_size(master)) / (1024 * 1024),
                Seconds(Clock::now() - generating));

    // Rounds alternate, so that a busy disk weighs on both sides alike.
    constexpr int kRounds = 5;
    std::vector<double> commits, repairs;
    for (int round = 0; round < kRounds; ++round) {
        fs::copy_file(master, hive, fs::copy_options::overwrite_existing);
        commits.push_back(TimeSingleCommit(hive));
        fs::copy_file(master, hive, fs::copy_options::overwrite_existing);
        repairs.push_back(TimeRepair(hive, work / ("backups" + std::to_string(round))));
    }
    const double commit = Median(commits), repair = Median(repairs);
    const double fastestCommit = *std::min_element(commits.begin(), commits.end());
    const double fastestRepair = *std::min_element(repairs.begin(), repairs.end());
    std::printf("single commit of the hive:          %8.1f ms median, %8.1f ms fastest of %d\n", commit * 1000,
                fastestCommit * 1000, kRounds);
    std::printf("repair removing %d keys, one write: %8.1f ms median, %8.1f ms fastest of %d\n", kRemoved,
                repair * 1000, fastestRepair * 1000, kRounds);
    std::printf("ratio: %.2f of the medians, %.2f of the fastest (target at most 1.5)\n", repair / commit,
                fastestRepair / fastestCommit);
    fs::remove_all(work);
    return 0;
}
