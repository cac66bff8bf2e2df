// Writes the canonical texts of the running machine (a Wine prefix, when run
// under Wine) into the folder given as the only argument: classes.txt and
// scan.txt. scripts/test-windows compares them with the prefix's system.reg.

#include "CrossCheck.h"

#include "platform/win32/NativeTarget.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    auto& machine = quelvo::platform::win32::NativeTarget::Instance();
    std::ofstream(folder / "classes.txt", std::ios::binary) << quelvo::test::CanonicalClassesTree(machine.Registry());
    std::ofstream(folder / "scan.txt", std::ios::binary) << quelvo::test::CanonicalScan();
    return 0;
}
