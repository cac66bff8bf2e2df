#include "frontend/GIFTiming.h"

#include <algorithm>
#include <cstddef>

namespace quelvo::frontend {

namespace {

// A bounds-checked walk over the GIF's blocks.
class GIFCursor {
public:
    explicit GIFCursor(std::string_view data) : m_data(data) {}

    bool Has(std::size_t n) const { return m_pos + n <= m_data.size(); }
    int Byte(std::size_t at) const { return static_cast<unsigned char>(m_data[m_pos + at]); }
    int Take()
    {
        const int b = Byte(0);
        ++m_pos;
        return b;
    }
    void Skip(std::size_t n) { m_pos += n; }
    std::string_view Peek(std::size_t n) const { return m_data.substr(m_pos, n); }

    // Skips a chain of data sub-blocks up to and including its terminator.
    bool SkipSubBlocks()
    {
        while (Has(1)) {
            const int n = Take();
            if (n == 0)
                return true;
            if (!Has(static_cast<std::size_t>(n)))
                return false;
            Skip(static_cast<std::size_t>(n));
        }
        return false;
    }

private:
    std::string_view m_data;
    std::size_t m_pos = 0;
};

std::size_t ColourTableBytes(int packed)
{
    return (packed & 0x80) ? 3 * (std::size_t(1) << ((packed & 0x07) + 1)) : 0;
}

}  // namespace

TGIFTiming ReadGIFTiming(std::string_view data)
{
    TGIFTiming timing;
    GIFCursor c(data);
    if (!c.Has(13) || data.substr(0, 4) != "GIF8")
        return timing;
    const int screenFlags = c.Byte(10);
    c.Skip(13);
    if (!c.Has(ColourTableBytes(screenFlags)))
        return timing;
    c.Skip(ColourTableBytes(screenFlags));

    std::optional<int> pendingDelay;
    while (c.Has(1)) {
        const int introducer = c.Take();
        if (introducer == 0x21) {
            if (!c.Has(1))
                break;
            const int label = c.Take();
            if (label == 0xF9 && c.Has(5) && c.Byte(0) >= 4) {
                pendingDelay = c.Byte(2) | (c.Byte(3) << 8);
            } else if (label == 0xFF && c.Has(12) && c.Byte(0) == 11) {
                const std::string_view id = c.Peek(12).substr(1);
                if (id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") {
                    c.Skip(12);
                    if (c.Has(4) && c.Byte(0) >= 3 && c.Byte(1) == 1)
                        timing.LoopCount = c.Byte(2) | (c.Byte(3) << 8);
                }
            }
            if (!c.SkipSubBlocks())
                break;
        } else if (introducer == 0x2C) {
            if (!c.Has(9))
                break;
            const int packed = c.Byte(8);
            c.Skip(9);
            timing.Delays.push_back(pendingDelay);
            pendingDelay.reset();
            if (!c.Has(ColourTableBytes(packed) + 1))
                break;
            c.Skip(ColourTableBytes(packed) + 1);  // colour table, LZW code size
            if (!c.SkipSubBlocks())
                break;
        } else {
            break;  // trailer, or something that is not a block
        }
    }
    return timing;
}

int GIFFrameTimeMs(std::optional<int> delayHundredths)
{
    int delay = delayHundredths.value_or(0);
    if (delay == 0)
        delay = 10;
    return std::clamp(delay, 3, 1000) * 12;
}

}  // namespace quelvo::frontend
