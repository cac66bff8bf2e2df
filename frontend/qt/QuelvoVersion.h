#pragma once

// The version data the build embeds into the program (from the project
// version), standing in for the executable's version resource.

#include "frontend/qt/widgets/TRzVersionInfo.h"

#include <optional>

namespace quelvo::frontend::qt {

std::optional<widgets::TRzVersionData> EmbeddedVersionData();

}  // namespace quelvo::frontend::qt
