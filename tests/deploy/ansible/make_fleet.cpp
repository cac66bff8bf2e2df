// Writes a fleet of targets on this machine and the Ansible inventory that
// names them, one host each, all reached with ansible_connection: local:
//   make_fleet FOLDER [SANDBOX-PREFIX]
// sandbox prefixes (light copies of SANDBOX-PREFIX, when given), Wine
// prefixes with nothing to repair, clean and dirty hive installations, one
// that cannot be recovered, a damaged one and a path that does not exist.

#include "FilesTestSupport.h"
#include "HiveTestSupport.h"
#include "ScanCliSupport.h"

#include "platform/files/HiveImage.h"

#include <hivex.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quelvo::platform::files::test;
using namespace quelvo::scancli::test;

namespace {

std::string Damaged(std::string hive)
{
    const fs::path file = fs::temp_directory_path() / ("quelvo-fleet-" + std::to_string(::getpid()));
    WriteBytes(file, hive);
    hive_h* h = hivex_open(file.c_str(), 0);
    const hive_node_h keep = hivex_node_get_child(h, hivex_node_get_child(h, hivex_root(h), "Classes"), ".keep");
    hivex_close(h);
    fs::remove(file);
    quelvo::platform::files::hive::PutLe32(hive.data() + keep + 4 + 40, 0x7FFFFFF0);
    return hive;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_fleet FOLDER [SANDBOX-PREFIX]\n");
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    const fs::path targets = folder / "targets";
    fs::remove_all(targets);
    fs::create_directories(targets);

    const std::string stateA = ChangeClassesHive(
        {}, {{{".doc", "docfile"}, {".old", "gone"}, {".keep", "nofile"}, {".mix", "mixfile"}}, {}, {"docfile", "mixfile"}});
    const std::string stateB = ChangeClassesHive(stateA, {{{".mix", "nothere"}, {".new", "none"}}, {".old"}, {}});
    const DirtyHive dirty = MakeDirtyHive(stateA, stateB);

    std::vector<std::pair<std::string, fs::path>> hosts;
    auto installation = [&](const std::string& host, const std::string& software, const std::string& log1 = {},
                            const std::string& log2 = {}) {
        WriteInstallation(targets / host, software, log1, log2);
        std::ofstream(targets / host / "Apps" / "docfile.exe") << "MZ";
        hosts.emplace_back(host, targets / host);
    };
    if (argc > 2)
        for (int i = 1; i <= 8; ++i) {
            const std::string host = "sandbox-0" + std::to_string(i);
            hosts.emplace_back(host, LightPrefixCopy(argv[2], targets / host));
        }
    for (int i = 1; i <= 2; ++i) {
        const std::string host = "prefix-clean-0" + std::to_string(i);
        const fs::path prefix = WritePrefix(targets / host, {ClassesKey(u".good", u"goodfile"),
            PrefixKey{{u"Software", u"Classes", u"goodfile", u"Shell", u"Open", u"Command"}, u"C:\\Apps\\good.exe %1"}});
        fs::create_directories(prefix / "drive_c" / "Apps");
        std::ofstream(prefix / "drive_c" / "Apps" / "good.exe") << "MZ";
        hosts.emplace_back(host, prefix);
    }
    for (int i = 1; i <= 3; ++i)
        installation("hive-clean-0" + std::to_string(i), stateA);
    for (int i = 1; i <= 4; ++i)
        installation("hive-dirty-0" + std::to_string(i), dirty.file, dirty.log1, dirty.log2);
    installation("hive-stale-01", dirty.file);
    installation("hive-damaged-01", Damaged(stateA));
    hosts.emplace_back("missing-01", targets / "missing-01");

    std::ofstream inventory(folder / "inventory.yml");
    inventory << "fleet:\n  hosts:\n";
    for (const auto& [host, target] : hosts)
        inventory << "    " << host << ":\n      quelvo_target: \"" << target.string() << "\"\n"
                  << "      quelvo_backup_dir: \"" << (folder / "backups" / host).string() << "\"\n";
    inventory << "  vars:\n    ansible_connection: local\n    ansible_python_interpreter: /usr/bin/python3\n";
    std::printf("%zu hosts\n", hosts.size());
    return 0;
}
