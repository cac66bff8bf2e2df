#pragma once

// The animated GIF's timing, shared by both front ends: what the file says
// (per-frame delays, loop count) and how long a frame stays on screen.

#include <optional>
#include <string_view>
#include <vector>

namespace quelvo::frontend {

struct TGIFTiming {
    // Per frame: the delay in hundredths, none when the frame has no
    // graphic control extension.
    std::vector<std::optional<int>> Delays;
    // The loop count of the looping extension, none when the file has none.
    std::optional<int> LoopCount;
};

// Reads the block structure only; a damaged file gives what was read so far.
TGIFTiming ReadGIFTiming(std::string_view data);

// How long a frame stays, in milliseconds: the delay times 12, a missing or
// zero delay counting as 10, the delay held to 3..1000 first.
int GIFFrameTimeMs(std::optional<int> delayHundredths);

}  // namespace quelvo::frontend
