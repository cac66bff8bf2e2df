#pragma once

// An animated GIF picture. Frames are decoded once, each already composed
// over the ones before it as the file's disposal and transparency say. While
// Animate is on a UI-thread timer steps the frames; each frame stays for its
// delay (hundredths of a second) times 12 ms, a missing or zero delay counts
// as 10, and the delay is held to 3..1000 first. The animation repeats as the
// loop count says (0: forever; a file without one plays once) and keeps
// running while nobody looks at it.

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace quelvo::widgets {

// What the file says about its animation, read from its blocks.
struct TGIFTiming {
    // Per frame: the delay in hundredths, none when the frame has no
    // graphic control extension.
    std::vector<std::optional<int>> Delays;
    // The loop count of the looping extension, none when the file has none.
    std::optional<int> LoopCount;
};
// Reads the block structure only; a damaged file gives what was read so far.
TGIFTiming ReadGIFTiming(const QByteArray& data);

// How long a frame stays, in milliseconds.
int GIFFrameTimeMs(std::optional<int> delayHundredths);

class TGIFImage : public QObject {
    Q_OBJECT
public:
    explicit TGIFImage(QObject* parent = nullptr);

    // False (and no frames) when the data is not a readable GIF.
    bool LoadFromData(const QByteArray& data);
    bool LoadFromFile(const QString& fileName);

    bool Empty() const { return FFrames.empty(); }
    int FrameCount() const { return static_cast<int>(FFrames.size()); }
    int Width() const;
    int Height() const;
    // Frame time of frame i in ms.
    int FrameTime(int index) const;
    // 0: forever.
    int LoopCount() const { return FLoopCount; }

    bool Animate() const { return FAnimate; }
    // Setting the value it already has does nothing.
    void SetAnimate(bool on);

    int CurrentFrame() const { return FCurrent; }
    const QImage& CurrentImage() const;
    const QImage& Frame(int index) const;

    // Moves to the next frame as the timer would (tests drive it by hand).
    void Step();

    // Fires when the shown frame changed.
    std::function<void()> OnChange;

private:
    void ScheduleNext();

    std::vector<QImage> FFrames;
    std::vector<int> FFrameTimes;
    int FLoopCount = 1;
    int FLoopsDone = 0;
    int FCurrent = 0;
    bool FAnimate = false;
    QTimer FTimer;
};

}  // namespace quelvo::widgets
