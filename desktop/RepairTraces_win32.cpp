// Windows keeps no desktop entries of Wine's: a repair there leaves nothing
// behind on a desktop.

#include "desktop/RepairTraces.h"

namespace quelvo::desktop {

RepairTraces RemoveTracesOfRepair(platform::Target&, const std::vector<std::u16string>&) { return {}; }

}  // namespace quelvo::desktop
