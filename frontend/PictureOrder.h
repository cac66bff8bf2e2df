#pragma once

// The report rows' pictures as the window's picture container holds them:
// resources/pictures/order.txt names one picture a line, in container
// order. Each front end reads the files it names from its own artwork.

#include <string>
#include <string_view>
#include <vector>

namespace quelvo::frontend {

struct TPictureFile {
    std::string name;  // as <IMG src> names it, UTF-8
    std::string file;  // the file beside order.txt that holds it
    friend bool operator==(const TPictureFile&, const TPictureFile&) = default;
};

// Every line trimmed of white space (codes 32 and below, so "\r\n" line ends
// do too); blank lines skipped.
std::vector<TPictureFile> ReadPictureOrder(std::string_view orderText);

// The file a picture of this name is stored in: the name with ".bmp"
// appended unless it already ends in it (in any case).
std::string PictureFileName(std::string_view name);

}  // namespace quelvo::frontend
