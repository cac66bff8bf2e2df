// The animated GIF's timing and stepping, once for both front ends: the
// file's delay and loop blocks, and the player over a fake timer.

#include "frontend/GIFPlayer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quelvo::frontend {
namespace {

struct FrameSpec {
    std::optional<int> delay;  // none: no graphic control extension
};

// A 1 x 1 GIF, one pixel per frame, with the given delays and loop count.
std::string MakeGIF(const std::vector<FrameSpec>& frames, std::optional<int> loop)
{
    std::string g("GIF89a");
    g.append("\x01\x00\x01\x00\x80\x00\x00", 7);
    g.append("\x00\x00\xFF\xFF\x00\x00", 6);
    if (loop) {
        g.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        g += char(*loop & 0xFF);
        g += char(*loop >> 8);
        g += '\0';
    }
    for (const FrameSpec& f : frames) {
        if (f.delay) {
            g.append("\x21\xF9\x04\x04", 4);
            g += char(*f.delay & 0xFF);
            g += char(*f.delay >> 8);
            g.append("\x00\x00", 2);
        }
        g.append("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        g.append("\x02\x02\x4C\x01\x00", 5);
    }
    g += '\x3B';
    return g;
}

TEST(GIFTiming, shouldShowAFrameItsDelayTimesTwelveWithMissingOrZeroAsTenAndHeldTo3To1000)
{
    EXPECT_EQ(GIFFrameTimeMs(std::nullopt), 120);
    EXPECT_EQ(GIFFrameTimeMs(0), 120);
    EXPECT_EQ(GIFFrameTimeMs(1), 36);
    EXPECT_EQ(GIFFrameTimeMs(2), 36);
    EXPECT_EQ(GIFFrameTimeMs(3), 36);
    EXPECT_EQ(GIFFrameTimeMs(5), 60);  // the scanning animation
    EXPECT_EQ(GIFFrameTimeMs(1000), 12000);
    EXPECT_EQ(GIFFrameTimeMs(1001), 12000);
    EXPECT_EQ(GIFFrameTimeMs(65535), 12000);
}

TEST(GIFTiming, shouldReadEachFramesDelayAndTheLoopCount)
{
    const TGIFTiming timing = ReadGIFTiming(MakeGIF({{5}, {std::nullopt}, {0}}, 0));
    EXPECT_EQ(timing.Delays, (std::vector<std::optional<int>>{5, std::nullopt, 0}));
    EXPECT_EQ(timing.LoopCount, 0);
    EXPECT_EQ(ReadGIFTiming(MakeGIF({{5}}, std::nullopt)).LoopCount, std::nullopt);
    EXPECT_EQ(GIFFrameTimes(timing, 4), (std::vector<int>{60, 120, 120, 120}));
}

TEST(GIFTiming, shouldGiveWhatWasReadSoFarOfDamagedOrForeignData)
{
    const std::string gif = MakeGIF({{5}, {5}}, 0);
    for (std::size_t cut = 0; cut < gif.size(); ++cut)
        EXPECT_LE(ReadGIFTiming(std::string_view(gif).substr(0, cut)).Delays.size(), 2u) << cut;
    EXPECT_TRUE(ReadGIFTiming("\x89PNG not a gif").Delays.empty());
    EXPECT_TRUE(ReadGIFTiming("").Delays.empty());
}

class FakeTimer : public TControlHost {
public:
    void Repaint() override { ++repaints; }
    void StartTimer(int milliseconds) override { started.push_back(milliseconds); }
    void StopTimer() override { ++stops; }
    int repaints = 0;
    int stops = 0;
    std::vector<int> started;
};

TEST(GIFPlayer, shouldStepFrameByFrameOnItsTimerWhileAnimateIsOn)
{
    FakeTimer timer;
    TGIFPlayer player(timer);
    player.Load({60, 120, 36}, 0);
    EXPECT_FALSE(player.Animate());
    EXPECT_TRUE(timer.started.empty());

    player.SetAnimate(true);
    EXPECT_EQ(timer.started, std::vector<int>{60});
    const int repaints = timer.repaints;
    player.TimerElapsed();
    EXPECT_EQ(player.CurrentFrame(), 1);
    EXPECT_EQ(timer.repaints, repaints + 1);
    player.TimerElapsed();
    player.TimerElapsed();
    EXPECT_EQ(player.CurrentFrame(), 0);  // forever: round again
    EXPECT_EQ(timer.started, (std::vector<int>{60, 120, 36, 60}));

    player.SetAnimate(false);
    EXPECT_EQ(timer.stops, 1);
    EXPECT_EQ(player.CurrentFrame(), 0);
}

TEST(GIFPlayer, shouldDoNothingWhenAnimateIsSetToItsValue)
{
    FakeTimer timer;
    TGIFPlayer player(timer);
    player.Load({60, 60}, 0);
    player.SetAnimate(false);
    player.SetAnimate(true);
    player.SetAnimate(true);
    EXPECT_EQ(timer.started.size(), 1u);
    player.SetAnimate(false);
    player.SetAnimate(false);
    EXPECT_EQ(timer.stops, 1);
}

TEST(GIFPlayer, shouldPlayAsOftenAsTheLoopCountSaysAndKeepTheLastFrame)
{
    FakeTimer timer;
    TGIFPlayer player(timer);
    player.Load({60, 60}, 2);
    player.SetAnimate(true);
    std::vector<int> frames;
    for (int i = 0; i < 6; ++i) {
        player.TimerElapsed();
        frames.push_back(player.CurrentFrame());
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 0, 1, 1, 1, 1}));
    EXPECT_EQ(timer.started.size(), 4u) << "no timer after the last round";
    EXPECT_TRUE(player.Animate());
}

TEST(GIFPlayer, shouldNeverStartTheTimerForASingleFrameAndStartOverWithNewFrames)
{
    FakeTimer timer;
    TGIFPlayer player(timer);
    player.Load({60}, 0);
    player.SetAnimate(true);
    player.Step();
    EXPECT_TRUE(timer.started.empty());
    EXPECT_EQ(player.CurrentFrame(), 0);

    player.Load(MakeGIF({{5}, {5}, {5}}, 0), 3);
    EXPECT_EQ(player.FrameCount(), 3);
    EXPECT_EQ(player.FrameTime(2), 60);
    EXPECT_EQ(player.FrameTime(3), 0);
    EXPECT_EQ(player.LoopCount(), 0);
    EXPECT_EQ(timer.started, std::vector<int>{60}) << "animating: on its way at once";
    player.Step();
    player.Load({36, 36}, 0);
    EXPECT_EQ(player.CurrentFrame(), 0);
}

TEST(GIFPlayer, shouldStopItsTimerWhenItGoes)
{
    FakeTimer timer;
    {
        TGIFPlayer player(timer);
        player.Load({60, 60}, 0);
        player.SetAnimate(true);
    }
    EXPECT_EQ(timer.stops, 1);
}

}  // namespace
}  // namespace quelvo::frontend
