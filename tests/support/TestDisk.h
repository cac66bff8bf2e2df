#pragma once

// A small disk for a test's scope, which the test can make read-only.

#include <filesystem>

namespace quelvo::test {

// A tmpfs mounted at `at` (made when missing), unmounted at the end.
// Mounted() is false where this process may not mount (not root).
class TestDisk {
public:
    explicit TestDisk(const std::filesystem::path& at);
    ~TestDisk();
    TestDisk(const TestDisk&) = delete;
    TestDisk& operator=(const TestDisk&) = delete;
    bool Mounted() const { return m_mounted; }
    bool RemountReadOnly();

private:
    std::filesystem::path m_at;
    bool m_mounted = false;
};

}  // namespace quelvo::test
