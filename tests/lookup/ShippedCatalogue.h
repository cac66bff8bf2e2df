#pragma once

// The catalogue and file type library the program ships, loaded once for
// the suites that serve pages from it.

#include "lookup/Catalogue.h"

#include <memory>

namespace quelvo::lookup::test {

inline std::shared_ptr<const Catalogue> ShippedCatalogue()
{
    static const auto catalogue =
        std::make_shared<const Catalogue>(LoadCatalogueFiles(QUELVO_LOOKUP_CATALOGUE, QUELVO_FILETYPE_LIB));
    return catalogue;
}

}  // namespace quelvo::lookup::test
