#pragma once

// A whole scan of the active target, run by the real worker (its 10 ms pause
// off), with each outcome handed to the caller: extension, program path and
// outcome type (1 a program, 2 broken), in the scan's order; and, when
// asked, each extension's name as the scan reaches it.

#include <functional>
#include <string_view>

namespace quelvo::test {

using ScanOutcome = std::function<void(std::u16string_view extension, std::u16string_view path, int type)>;
using ScanName = std::function<void(std::u16string_view name)>;
// False when the scan did not end within `timeoutMs`.
bool RunScan(const ScanOutcome& outcome, const ScanName& name = {}, unsigned timeoutMs = 60000);

}  // namespace quelvo::test
