#include "tests/support/ScratchFolder.h"

#include "tests/support/Bytes.h"

#include <cstdio>
#include <random>
#include <stdexcept>

namespace quelvo::test {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(std::string_view prefix, const fs::path& base)
{
    const fs::path parent = base.empty() ? fs::temp_directory_path() : base;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "-%08x%08x", unsigned(random()), unsigned(random()));
        const fs::path candidate = parent / (std::string(prefix) + name);
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
#ifndef _WIN32
            fs::permissions(candidate, fs::perms::owner_all, ec);
#endif
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder in " + parent.string());
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

fs::path ScratchFolder::Write(const fs::path& name, std::string_view bytes) const
{
    const fs::path file = m_path / name;
    fs::create_directories(file.parent_path());
    WriteBytes(file, bytes);
    return file;
}

}  // namespace quelvo::test
