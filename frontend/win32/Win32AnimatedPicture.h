#pragma once

// The animated GIF picture control: frames decoded through GDI+, stepped by
// the shared GIF player (frontend/GIFPlayer.h) over a window timer. The
// frames are decoded when first painted: under Wine that costs more than
// building the rest of the window, and the picture is not on the first
// page seen. Until then the file's own blocks give their number and times.

#include "frontend/GIFPlayer.h"
#include "frontend/win32/Win32Control.h"
#include "frontend/win32/Win32Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quelvo::frontend::win32 {

class Win32AnimatedPicture : public Win32Control<TAnimatedPicture> {
public:
    Win32AnimatedPicture(Win32Node* parent, std::string name, TRect bounds, const std::vector<std::uint8_t>& bytes);

    bool Animate() const override { return m_player.Animate(); }
    void SetAnimate(bool on) override { m_player.SetAnimate(on); }
    int FrameCount() const override { return m_player.FrameCount(); }
    bool FramesDecoded() const { return m_decoded; }

    int CurrentFrame() const { return m_player.CurrentFrame(); }
    int FrameTime(int index) const { return m_player.FrameTime(index); }
    // 0: forever.
    int LoopCount() const { return m_player.LoopCount(); }
    // Moves to the next frame as the timer does.
    void Step() { m_player.Step(); }

    void PaintSelf(HDC dc) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The player's window timer and repaints.
    class Host : public TControlHost {
    public:
        explicit Host(Win32AnimatedPicture& picture) : m_picture(picture) {}
        void Repaint() override;
        void StartTimer(int milliseconds) override;
        void StopTimer() override;

    private:
        Win32AnimatedPicture& m_picture;
    };

    void DecodeFrames();

    std::vector<std::uint8_t> m_bytes;  // the file, until its frames are decoded
    std::vector<Win32Bitmap> m_frames;
    bool m_decoded = false;
    Host m_host{*this};
    TGIFPlayer m_player{m_host};
};

}  // namespace quelvo::frontend::win32
