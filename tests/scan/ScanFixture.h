#pragma once

// A checked machine for the scan tests: an in-memory registry, the usual
// system variables, and a temporary folder as drive C:, made the active
// target for the test's lifetime.

#include "platform/HostTarget.h"
#include "platform/MemoryRegistry.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace quelvo::scan::testing {

class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        driveC = drive.Path();
        MakeTarget({{u"SystemRoot", u"C:\\Windows"},
                    {u"ProgramFiles", u"C:\\Program Files"},
                    {u"windir", u"C:\\Windows"}});
    }

    void TearDown() override
    {
        active.reset();
        target.reset();
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

    quelvo::test::ScratchFolder drive{"quelvo-scan"};
    std::filesystem::path driveC;
    platform::MemoryRegistry registry;
    std::optional<platform::HostTarget> target;
    std::optional<platform::ScopedActiveTarget> active;
};

}  // namespace quelvo::scan::testing
