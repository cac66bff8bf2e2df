#pragma once

// The machine the program checks, chosen once at start-up and made the
// active target while this object lives: on Windows the running machine;
// elsewhere the Wine prefix or offline Windows installation the environment
// names (platform/files/FileTargets.h). One definition per platform, chosen
// by the build.

#include "platform/Target.h"

#include <memory>
#include <string>

namespace quelvo::platform {

class ProgramTarget {
public:
    ProgramTarget();
    ~ProgramTarget();
    ProgramTarget(const ProgramTarget&) = delete;
    ProgramTarget& operator=(const ProgramTarget&) = delete;

    // Why no target could be opened (which path was tried and why); empty
    // when one was. The program then checks an empty in-memory registry, so
    // nothing is ever written.
    const std::u16string& Problem() const { return m_problem; }
    // With a target: what the user must know before a scan (a hive that is
    // out of date or damaged), else empty.
    const std::u16string& Notice() const { return m_notice; }

private:
    std::unique_ptr<Target> m_owned;
    std::u16string m_problem;
    std::u16string m_notice;
};

}  // namespace quelvo::platform
