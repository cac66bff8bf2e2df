#pragma once

// quelvo-scan --desktop (not on Windows): Wine's "Open With" entries of the
// desktop user (desktop/), listed by prefix with their states, and with
// --fix the stale ones removed, saved first beside the repair backups. The
// report is of the same schema, "report": "desktop".

#include "ScanOptions.h"

#include <iosfwd>

namespace quelvo::scancli {

// The exit status: 3 when something could not be read (the applications
// folder, a file of Wine's names, a prefix an entry names), else 1 when
// stale entries are found (after --fix: remain), else 0.
int RunDesktopCommand(const ScanOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quelvo::scancli
