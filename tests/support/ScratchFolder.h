#pragma once

// A folder of a test's own, made fresh (never one that existed) and removed
// with everything in it at the end of its scope.

#include <filesystem>
#include <string>
#include <string_view>

namespace quelvo::test {

class ScratchFolder {
public:
    // Under the system's temporary folder, or `base`; named `prefix` and a
    // random part. Mode 0700, as mkdtemp makes it.
    explicit ScratchFolder(std::string_view prefix = "quelvo", const std::filesystem::path& base = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return m_path / p; }
    // Writes `bytes` to the file `name` in it (its folders made) and returns its path.
    std::filesystem::path Write(const std::filesystem::path& name, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

}  // namespace quelvo::test
