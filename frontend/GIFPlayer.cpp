#include "frontend/GIFPlayer.h"

#include <optional>
#include <utility>

namespace quelvo::frontend {

std::vector<int> GIFFrameTimes(const TGIFTiming& timing, std::size_t frameCount)
{
    std::vector<int> times;
    times.reserve(frameCount);
    for (std::size_t i = 0; i < frameCount; ++i)
        times.push_back(GIFFrameTimeMs(i < timing.Delays.size() ? timing.Delays[i] : std::nullopt));
    return times;
}

TGIFPlayer::~TGIFPlayer() { StopTimer(); }

void TGIFPlayer::Load(std::vector<int> frameTimes, int loopCount)
{
    StopTimer();
    m_frameTimes = std::move(frameTimes);
    m_loopCount = loopCount;
    m_loopsDone = 0;
    m_current = 0;
    if (m_animate)
        ScheduleNext();
    m_host.Repaint();
}

void TGIFPlayer::Load(std::string_view gif, std::size_t frameCount)
{
    const TGIFTiming timing = ReadGIFTiming(gif);
    // Without a looping extension the animation plays once.
    Load(GIFFrameTimes(timing, frameCount), timing.LoopCount.value_or(1));
}

int TGIFPlayer::FrameTime(int index) const
{
    if (index < 0 || index >= FrameCount())
        return 0;
    return m_frameTimes[static_cast<std::size_t>(index)];
}

void TGIFPlayer::SetAnimate(bool on)
{
    if (on == m_animate)
        return;
    m_animate = on;
    if (on) {
        m_loopsDone = 0;
        ScheduleNext();
    } else {
        StopTimer();
    }
}

void TGIFPlayer::TimerElapsed()
{
    m_timerOn = false;  // single-shot: each frame has its own time
    Step();
    if (m_animate)
        ScheduleNext();
}

void TGIFPlayer::Step()
{
    if (FrameCount() < 2)
        return;
    int next = m_current + 1;
    if (next >= FrameCount()) {
        ++m_loopsDone;
        if (m_loopCount != 0 && m_loopsDone >= m_loopCount) {
            StopTimer();
            return;  // the last frame stays
        }
        next = 0;
    }
    m_current = next;
    m_host.Repaint();
}

void TGIFPlayer::ScheduleNext()
{
    if (FrameCount() < 2)
        return;
    if (m_loopCount != 0 && m_loopsDone >= m_loopCount)
        return;
    m_host.StartTimer(FrameTime(m_current));
    m_timerOn = true;
}

void TGIFPlayer::StopTimer()
{
    if (m_timerOn)
        m_host.StopTimer();
    m_timerOn = false;
}

}  // namespace quelvo::frontend
