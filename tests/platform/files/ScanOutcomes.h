#pragma once

// A whole scan of the active target, run by the real worker (its 10 ms pause
// off), with each outcome handed to the caller: extension, program path and
// outcome type (1 a program, 2 broken), in the scan's order.

#include <functional>
#include <string_view>

namespace quelvo::test {

using ScanOutcome = std::function<void(std::u16string_view extension, std::u16string_view path, int type)>;
void RunScan(const ScanOutcome& outcome);

}  // namespace quelvo::test
