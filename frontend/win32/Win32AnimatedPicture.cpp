#include "frontend/win32/Win32AnimatedPicture.h"

#include "frontend/GIFTiming.h"
#include "frontend/win32/Win32Helpers.h"

namespace quelvo::frontend::win32 {

namespace {
const wchar_t kPictureClass[] = L"QuelvoPicture";
}  // namespace

Win32AnimatedPicture::Win32AnimatedPicture(Win32Node* parent, std::string name, TRect bounds,
                                           const std::vector<std::uint8_t>& bytes)
    : Win32Control(std::move(name)), m_bytes(bytes)
{
    RegisterNodeClass(kPictureClass);
    CreateNode(parent, kPictureClass, WS_VISIBLE, 0, ToRect(bounds));
    const std::string_view gif(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size());
    m_player.Load(gif, ReadGIFTiming(gif).Delays.size());
}

void Win32AnimatedPicture::DecodeFrames()
{
    if (m_decoded)
        return;
    m_decoded = true;
    m_frames = DecodeAnimation(m_bytes).Frames;
    if (m_frames.size() != static_cast<std::size_t>(m_player.FrameCount())) {
        // A damaged file: as many frames as could be decoded.
        m_player.Load(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()),
                      m_frames.size());
    }
    m_bytes = {};
}

void Win32AnimatedPicture::Host::Repaint()
{
    // Until its first paint the whole window is still to be painted; a
    // frame asked for now would decode every frame before it is ever seen
    // (at once, when no other paint happened in the last frame's time).
    if (m_picture.FramesDecoded())
        win32::Repaint(m_picture.Handle());
}

void Win32AnimatedPicture::Host::StartTimer(int milliseconds)
{
    if (!m_picture.Handle())
        return;
    SetTimer(m_picture.Handle(), 1, static_cast<UINT>(milliseconds), nullptr);
}

void Win32AnimatedPicture::Host::StopTimer()
{
    if (m_picture.Handle())
        KillTimer(m_picture.Handle(), 1);
}

void Win32AnimatedPicture::PaintSelf(HDC dc)
{
    DecodeFrames();
    const int current = m_player.CurrentFrame();
    if (current >= 0 && static_cast<std::size_t>(current) < m_frames.size())
        m_frames[static_cast<std::size_t>(current)].DrawBlended(dc, 0, 0);
}

LRESULT Win32AnimatedPicture::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == 1) {
        // A window timer repeats: one frame at a time, each with its own time.
        KillTimer(Handle(), 1);
        m_player.TimerElapsed();
        return 0;
    }
    return Win32Node::HandleMessage(message, wParam, lParam);
}

}  // namespace quelvo::frontend::win32
