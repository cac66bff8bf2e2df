#pragma once

// The window's artwork, embedded in the executable as RCDATA resources so
// that Quelvo.exe is one file. Names are the files' paths under resources/
// ("background.png", "buttons/Bn_StartScan_Up.bmp", "pictures/idxs.1.bmp").
// An executable carries them when linked with quelvo_win32_artwork(target)
// (frontend/win32/CMakeLists.txt).

#include <cstdint>
#include <string_view>
#include <vector>

namespace quelvo::frontend::win32 {

// False, and bytes emptied, when the executable carries no such picture.
bool func_LoadArtwork(std::string_view name, std::vector<std::uint8_t>& bytes);

}  // namespace quelvo::frontend::win32
