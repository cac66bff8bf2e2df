#include "BenchHive.h"

#include "tests/support/HiveBuilder.h"

#include <hivex.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quelvo::bench {

namespace {

constexpr std::size_t kValueBytes = 16000;  // below hivex's limit for a value in one cell

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "generating the hive: %s failed\n", what);
        std::exit(1);
    }
}

void SetString(hive_h* h, hive_node_h node, const std::string& text)
{
    std::string bytes;
    for (char c : text)
        bytes += std::string{c, '\0'};
    bytes += std::string(2, '\0');
    hive_set_value value{const_cast<char*>(""), hive_t_REG_SZ, bytes.size(), bytes.data()};
    Check(hivex_node_set_value(h, node, &value, 0) == 0, "set value");
}

}  // namespace

void GenerateHive(const std::filesystem::path& file, std::size_t megabytes, int extensions)
{
    std::filesystem::create_directories(file.parent_path());
    test::WriteEmptyHive(file);
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    Check(h != nullptr, "hivex_open");
    const hive_node_h classes = hivex_node_add_child(h, hivex_root(h), "Classes");
    for (int i = 0; i < extensions; ++i) {
        const std::string n = std::to_string(i);
        const hive_node_h ext = hivex_node_add_child(h, classes, (".e" + n).c_str());
        if (i % 4 == 0)
            continue;
        SetString(h, ext, "type" + n);
        if (i % 4 == 1)
            continue;
        const hive_node_h type = hivex_node_add_child(h, classes, ("type" + n).c_str());
        if (i % 4 == 2)
            continue;
        const hive_node_h command = hivex_node_add_child(
            h, hivex_node_add_child(h, hivex_node_add_child(h, type, "Shell"), "Open"), "Command");
        SetString(h, command, "\"C:\\Program Files\\App " + n + "\\app.exe\" \"%1\"");
    }
    AddBulkKeys(h, megabytes);
    Check(hivex_commit(h, nullptr, 0) == 0, "hivex_commit");
    hivex_close(h);
}

void AddBulkKeys(void* hive, std::size_t megabytes)
{
    auto* h = static_cast<hive_h*>(hive);
    std::string blob(kValueBytes, '\x5A');
    const std::size_t keys = megabytes * 1024 * 1024 / (kValueBytes + 200);
    const hive_node_h bulk = hivex_node_add_child(h, hivex_root(h), "Bulk");
    hive_node_h group = 0;
    for (std::size_t i = 0; i < keys; ++i) {
        if (i % 100 == 0)
            group = hivex_node_add_child(h, bulk, ("Group" + std::to_string(i / 100)).c_str());
        const hive_node_h key = hivex_node_add_child(h, group, ("Key" + std::to_string(i)).c_str());
        hive_set_value value{const_cast<char*>("Data"), hive_t_REG_BINARY, blob.size(), blob.data()};
        Check(hivex_node_set_value(h, key, &value, 0) == 0, "set bulk value");
    }
}

}  // namespace quelvo::bench
