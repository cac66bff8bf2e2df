#include "tests/support/TestDisk.h"

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace quelvo::test {

namespace fs = std::filesystem;

TestDisk::TestDisk(const fs::path& at) : m_at(at)
{
    fs::create_directories(at);
    m_mounted = ::geteuid() == 0
        && std::system(("mount -t tmpfs -o size=8m quelvo-test '" + at.string() + "' 2>/dev/null").c_str()) == 0;
}

TestDisk::~TestDisk()
{
    if (m_mounted)
        std::system(("umount '" + m_at.string() + "' 2>/dev/null").c_str());
}

bool TestDisk::RemountReadOnly()
{
    return m_mounted && std::system(("mount -o remount,ro '" + m_at.string() + "'").c_str()) == 0;
}

}  // namespace quelvo::test
