#pragma once

// The bitmap button's state-to-picture table, shared by both front ends.

#include "frontend/Controls.h"

#include <array>

namespace quelvo::frontend {

enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// The six picture slots, in their fixed order.
enum class TBmpSlot { Up, UpAndFocused, Disabled, Down, StayDown, Hot };
inline constexpr std::size_t kBmpSlotCount = 6;

// What decides the picture. Present[i] tells whether slot i holds a picture.
struct TBmpLook {
    TButtonState State = TButtonState::bsUp;
    bool MouseOver = false;
    bool Focused = false;
    bool ShowFocus = true;
    std::array<bool, kBmpSlotCount> Present{};
};

// The picture drawn: one of the slots, or the embossed grey rendering of the
// Up picture (a disabled button without a Disabled picture).
TButtonPicture PictureForState(const TBmpLook& look);

}  // namespace quelvo::frontend
