// The targets of bench/quelvo-scan/run.py, made once in a folder and reused:
//   quelvo_scan_bench_targets FOLDER
// usrclass/  an offline installation whose SOFTWARE hive holds, under
//            Classes, the real Windows 10 classes hive of
//            ../shared/data/hives/win10-UsrClass: left dirty as Windows left
//            it, its newest state in .LOG1/.LOG2 (the state its own logs
//            recover), so that quelvo-scan recovers it first;
// hive100/   a clean generated SOFTWARE hive of about 100 MB: 2,400
//            extensions (hivex leaves each outgrown sub-key list behind, so
//            their lists take about half of it) and bulk keys.

#include "BenchHive.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/HiveBuilder.h"

#include "regfile/HiveRecovery.h"

#include <hivex.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quelvo::regfile;
using namespace quelvo::test;

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "quelvo_scan_bench_targets: %s failed\n", what);
        std::exit(1);
    }
}

struct Value {
    std::string key;
    hive_type type;
    std::string data;
    bool operator==(const Value&) const = default;
};

std::vector<Value> ValuesOf(hive_h* h, hive_node_h node)
{
    std::vector<Value> out;
    hive_value_h* values = hivex_node_values(h, node);
    Check(values != nullptr, "hivex_node_values");
    for (hive_value_h* v = values; *v; ++v) {
        char* key = hivex_value_key(h, *v);
        hive_type type{};
        size_t length = 0;
        char* bytes = hivex_value_value(h, *v, &type, &length);
        Check(key && bytes, "hivex_value_value");
        out.push_back(Value{key, type, std::string(bytes, length)});
        std::free(key);
        std::free(bytes);
    }
    std::free(values);
    return out;
}

std::vector<std::pair<std::string, hive_node_h>> ChildrenOf(hive_h* h, hive_node_h node)
{
    std::vector<std::pair<std::string, hive_node_h>> out;
    hive_node_h* children = hivex_node_children(h, node);
    Check(children != nullptr, "hivex_node_children");
    for (hive_node_h* c = children; *c; ++c) {
        char* name = hivex_node_name(h, *c);
        Check(name != nullptr, "hivex_node_name");
        out.emplace_back(name, *c);
        std::free(name);
    }
    std::free(children);
    return out;
}

void SetValues(hive_h* h, hive_node_h node, const std::vector<Value>& values)
{
    std::vector<hive_set_value> set;
    for (const Value& v : values)
        set.push_back(hive_set_value{const_cast<char*>(v.key.c_str()), v.type, v.data.size(),
                                     const_cast<char*>(v.data.data())});
    Check(hivex_node_set_values(h, node, set.size(), set.data(), 0) == 0, "hivex_node_set_values");
}

// Copies node's values and sub-tree into `to` under `into`.
void CopyTree(hive_h* from, hive_node_h node, hive_h* to, hive_node_h into)
{
    const std::vector<Value> values = ValuesOf(from, node);
    if (!values.empty())
        SetValues(to, into, values);
    for (const auto& [name, child] : ChildrenOf(from, node)) {
        const hive_node_h copy = hivex_node_add_child(to, into, name.c_str());
        Check(copy != 0, "hivex_node_add_child");
        CopyTree(from, child, to, copy);
    }
}

// Changes the tree of `to` under `at` into the tree of `want` under
// `wanted`, touching only what differs, as Windows changes a hive: the
// hive's later state, most of its cells where they were.
void Converge(hive_h* want, hive_node_h wanted, hive_h* to, hive_node_h at)
{
    const std::vector<Value> values = ValuesOf(want, wanted);
    if (values != ValuesOf(to, at))
        SetValues(to, at, values);
    const auto children = ChildrenOf(want, wanted);
    for (const auto& [name, child] : children) {
        const hive_node_h there = hivex_node_get_child(to, at, name.c_str());
        if (there) {
            Converge(want, child, to, there);
        } else {
            const hive_node_h added = hivex_node_add_child(to, at, name.c_str());
            Check(added != 0, "hivex_node_add_child");
            CopyTree(want, child, to, added);
        }
    }
    for (const auto& [name, child] : ChildrenOf(to, at))
        if (!hivex_node_get_child(want, wanted, name.c_str()))
            Check(hivex_node_delete_child(to, child) == 0, "hivex_node_delete_child");
}

// A SOFTWARE hive whose Classes key is the classes hive `classes`.
std::string SoftwareHiveOf(const std::string& classes, const fs::path& work)
{
    WriteBytes(work / "classes", classes);
    WriteEmptyHive(work / "software");
    hive_h* from = hivex_open((work / "classes").c_str(), 0);
    hive_h* to = hivex_open((work / "software").c_str(), HIVEX_OPEN_WRITE);
    Check(from && to, "hivex_open");
    CopyTree(from, hivex_root(from), to, hivex_node_add_child(to, hivex_root(to), "Classes"));
    Check(hivex_commit(to, nullptr, 0) == 0, "hivex_commit");
    hivex_close(to);
    hivex_close(from);
    return ReadBytes(work / "software");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quelvo_scan_bench_targets FOLDER\n");
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    const fs::path usrclass = folder / "usrclass";
    if (!fs::exists(HivePath(usrclass))) {
        ScratchFolder work;
        Check(UnpackRealSet("win10-UsrClass", work.Path()), "unpacking win10-UsrClass (../shared/data/hives)");
        const std::string primary = ReadBytes(work / "UsrClass.dat");
        const std::string log1 = ReadBytes(work / "UsrClass.dat.LOG1");
        const std::string log2 = ReadBytes(work / "UsrClass.dat.LOG2");
        const hive::Recovery recovered =
            hive::RecoverHive(primary, {hive::LogFile("UsrClass.dat.LOG1", log1), hive::LogFile("UsrClass.dat.LOG2", log2)});
        Check(recovered.outcome == hive::Recovery::Recovered, "recovering win10-UsrClass");
        // The state on disk, then the logs' state made from it by the
        // changes the real logs carry, so the new logs hold those pages.
        const std::string before = SoftwareHiveOf(primary, work.Path());
        WriteBytes(work / "after", before);
        WriteBytes(work / "recovered", recovered.image);
        hive_h* want = hivex_open((work / "recovered").c_str(), 0);
        hive_h* to = hivex_open((work / "after").c_str(), HIVEX_OPEN_WRITE);
        Check(want && to, "hivex_open");
        Converge(want, hivex_root(want), to, hivex_node_get_child(to, hivex_root(to), "Classes"));
        Check(hivex_commit(to, nullptr, 0) == 0, "hivex_commit");
        hivex_close(to);
        hivex_close(want);
        const DirtyHive dirty = MakeDirtyHive(before, ReadBytes(work / "after"));
        WriteInstallation(usrclass, dirty.file, dirty.log1, dirty.log2);
    }
    const fs::path hive100 = folder / "hive100";
    if (!fs::exists(HivePath(hive100)))
        quelvo::bench::GenerateHive(HivePath(hive100), 40, 2400);
    std::printf("%s\n%s\n", usrclass.c_str(), hive100.c_str());
    std::fprintf(stderr, "hives: %.1f MB and %.1f MB\n", double(fs::file_size(HivePath(usrclass))) / (1 << 20),
                 double(fs::file_size(HivePath(hive100))) / (1 << 20));
    return 0;
}
