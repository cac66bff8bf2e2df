// Makes the running machine the active target of the Windows build before
// main starts. Tests replace it for a scope with ScopedActiveTarget.

#include "platform/win32/NativeTarget.h"

extern "C" {
// Referred to by the linker options of quelvo_platform so that this file is
// always linked in.
extern const int quelvo_win32_default_target;
const int quelvo_win32_default_target = [] {
    quelvo::platform::SetActiveTarget(&quelvo::platform::win32::NativeTarget::Instance());
    return 1;
}();
}
