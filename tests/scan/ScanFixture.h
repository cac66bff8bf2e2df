#pragma once

// A checked machine for the scan tests: an in-memory registry, the usual
// system variables, and a temporary folder as drive C:, made the active
// target for the test's lifetime.

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>

namespace quelvo::scan::testing {

class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::string folder = "quelvo-scan-" + std::to_string(stamp) + "-" + info->test_suite_name() + "-" + info->name();
        for (char& c : folder)
            c = c == '/' ? '_' : c;  // parameterised tests have "/" in their names
        driveC = std::filesystem::temp_directory_path() / folder;
        std::filesystem::remove_all(driveC);
        std::filesystem::create_directories(driveC);
        MakeTarget({{u"SystemRoot", u"C:\\Windows"},
                    {u"ProgramFiles", u"C:\\Program Files"},
                    {u"windir", u"C:\\Windows"}});
    }

    void TearDown() override
    {
        active.reset();
        target.reset();
        std::error_code ec;
        std::filesystem::remove_all(driveC, ec);
    }

    void MakeTarget(platform::HostTarget::Environment environment)
    {
        active.reset();
        target.emplace(registry, std::move(environment), platform::HostTarget::Drives{{u'C', driveC}});
        active.emplace(*target);
    }

    // Creates a file (and its folders) under drive C:, "/"-separated.
    void Touch(const std::string& relative)
    {
        const auto file = driveC / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "MZ";
    }

    std::filesystem::path driveC;
    platform::MemoryRegistry registry;
    std::optional<platform::HostTarget> target;
    std::optional<platform::ScopedActiveTarget> active;
};

}  // namespace quelvo::scan::testing
