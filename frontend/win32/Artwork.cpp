#include "frontend/win32/Artwork.h"

#include <windows.h>

#include <cstring>

namespace quelvo::frontend::win32 {

namespace {

struct ArtworkEntry {
    const char* name;
    int id;
};

constexpr ArtworkEntry kArtwork[] = {
#include "ArtworkTable.inc"
};

}  // namespace

bool func_LoadArtwork(std::string_view name, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    for (const ArtworkEntry& entry : kArtwork) {
        if (name != entry.name)
            continue;
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(10));  // RT_RCDATA
        if (!found)
            return false;
        HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data)
            return false;
        const auto* first = static_cast<const std::uint8_t*>(data);
        bytes.assign(first, first + size);
        return true;
    }
    return false;
}

}  // namespace quelvo::frontend::win32
