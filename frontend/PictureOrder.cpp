#include "frontend/PictureOrder.h"

namespace quelvo::frontend {

namespace {

bool EndsWithBmp(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string_view tail = name.substr(name.size() - 4);
    for (std::size_t i = 0; i < 4; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != ".bmp"[i])
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view line)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    return line;
}

}  // namespace

std::vector<TPictureFile> ReadPictureOrder(std::string_view orderText)
{
    std::vector<TPictureFile> pictures;
    while (!orderText.empty()) {
        const std::size_t end = orderText.find('\n');
        const std::string_view name = Trimmed(orderText.substr(0, end));
        orderText.remove_prefix(end == std::string_view::npos ? orderText.size() : end + 1);
        if (name.empty())
            continue;
        pictures.push_back({std::string(name), PictureFileName(name)});
    }
    return pictures;
}

std::string PictureFileName(std::string_view name)
{
    return EndsWithBmp(name) ? std::string(name) : std::string(name) + ".bmp";
}

}  // namespace quelvo::frontend
