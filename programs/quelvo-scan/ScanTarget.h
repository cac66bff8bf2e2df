#pragma once

// The machine quelvo-scan checks, one implementation per platform: on Linux
// the Wine prefix or offline installation --target (or the environment)
// names, read through the stores the window uses; on Windows the running
// machine. While the object lives its target is the active one.

#include "ScanOptions.h"
#include "ScanReport.h"

#include <memory>
#include <vector>

namespace quelvo::scancli {

class ScanTarget {
public:
    // Opens the target; Opened() tells whether there is a registry to scan.
    static std::unique_ptr<ScanTarget> Open(const ScanOptions& options);
    virtual ~ScanTarget() = default;

    virtual bool Opened() const = 0;
    // What it is and how completely it was read; call after the scan, which
    // may meet damage. classesRefused: the classes key refused full access.
    virtual TargetReport Describe(bool classesRefused) const = 0;
    // The files the repair's backup wrote, the .reg export first.
    virtual std::vector<BackupFile> BackupFiles() const = 0;
};

}  // namespace quelvo::scancli
