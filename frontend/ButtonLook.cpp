#include "frontend/ButtonLook.h"

namespace quelvo::frontend {

TButtonPicture PictureForState(const TBmpLook& look)
{
    auto has = [&](TBmpSlot slot) { return look.Present[static_cast<std::size_t>(slot)]; };
    switch (look.State) {
    case TButtonState::bsUp:
        if (look.MouseOver && has(TBmpSlot::Hot))
            return TButtonPicture::Hot;
        if (look.Focused && look.ShowFocus && has(TBmpSlot::UpAndFocused))
            return TButtonPicture::UpAndFocused;
        return TButtonPicture::Up;
    case TButtonState::bsDown:
        return has(TBmpSlot::Down) ? TButtonPicture::Down : TButtonPicture::Up;
    case TButtonState::bsExclusive:
        if (has(TBmpSlot::StayDown))
            return TButtonPicture::StayDown;
        return has(TBmpSlot::Down) ? TButtonPicture::Down : TButtonPicture::Up;
    case TButtonState::bsDisabled:
        return has(TBmpSlot::Disabled) ? TButtonPicture::Disabled : TButtonPicture::EmbossedUp;
    }
    return TButtonPicture::Up;
}

}  // namespace quelvo::frontend
