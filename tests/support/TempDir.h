#pragma once

// A scratch folder per test, removed afterwards.

#include <filesystem>
#include <fstream>
#include <string>
#include <random>
#include <string_view>

#include <gtest/gtest.h>

namespace quelvo::test {

class TempDir {
public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path()
                 / ("quelvo_report_" + std::string(info->test_suite_name()) + "_" + info->name() + "_"
                    + std::to_string(std::random_device{}()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    std::filesystem::path Write(const std::string& name, std::string_view bytes) const
    {
        std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return file;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace quelvo::test
