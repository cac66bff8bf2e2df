#pragma once

// The animated GIF's stepping written once. While Animate is on, each frame
// stays for its frame time (GIFTiming.h) on the host's single-shot timer and
// then the next one shows; the animation repeats as the loop count says (0:
// forever; a file without one plays once, and its last frame stays). It
// keeps stepping while nobody looks at it. The front end decodes the frames
// and paints CurrentFrame() on each repaint.

#include "frontend/ControlHost.h"
#include "frontend/GIFTiming.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace quelvo::frontend {

// The frame times (ms) of `frameCount` decoded frames, from the file's own
// blocks; a frame the blocks say nothing of counts as one without a delay.
std::vector<int> GIFFrameTimes(const TGIFTiming& timing, std::size_t frameCount);

class TGIFPlayer {
public:
    explicit TGIFPlayer(TControlHost& host) : m_host(host) {}
    ~TGIFPlayer();
    TGIFPlayer(const TGIFPlayer&) = delete;
    TGIFPlayer& operator=(const TGIFPlayer&) = delete;

    // New frames: back to the first, and on its way again when animating.
    // loopCount 0: forever.
    void Load(std::vector<int> frameTimes, int loopCount);
    // The same from a GIF's bytes, for `frameCount` decoded frames.
    void Load(std::string_view gif, std::size_t frameCount);

    int FrameCount() const { return static_cast<int>(m_frameTimes.size()); }
    // Frame time of frame i in ms (0 for no such frame).
    int FrameTime(int index) const;
    int LoopCount() const { return m_loopCount; }
    int CurrentFrame() const { return m_current; }

    bool Animate() const { return m_animate; }
    // Setting the value it already has does nothing.
    void SetAnimate(bool on);

    // The host's timer fired: the next frame, and its timer when animating.
    void TimerElapsed();
    // Moves to the next frame as the timer does.
    void Step();

private:
    void ScheduleNext();
    void StopTimer();

    TControlHost& m_host;
    std::vector<int> m_frameTimes;
    int m_loopCount = 1;
    int m_loopsDone = 0;
    int m_current = 0;
    bool m_animate = false;
    bool m_timerOn = false;
};

}  // namespace quelvo::frontend
