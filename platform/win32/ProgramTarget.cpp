#include "platform/ProgramTarget.h"

namespace quelvo::platform {

// The running machine is the active target from the start (DefaultTarget.cpp).
ProgramTarget::ProgramTarget() = default;

ProgramTarget::~ProgramTarget() = default;

}  // namespace quelvo::platform
