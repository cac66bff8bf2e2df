#pragma once

// An animated GIF picture. Frames are decoded once, each already composed
// over the ones before it as the file's disposal and transparency say. While
// Animate is on a UI-thread timer steps the frames; each frame stays for its
// delay (hundredths of a second) times 12 ms, a missing or zero delay counts
// as 10, and the delay is held to 3..1000 first. The animation repeats as the
// loop count says (0: forever; a file without one plays once) and keeps
// running while nobody looks at it.

#include "frontend/GIFTiming.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace quelvo::widgets {

// The timing rule is shared with the other front end.
using frontend::TGIFTiming;
using frontend::GIFFrameTimeMs;
inline TGIFTiming ReadGIFTiming(const QByteArray& data)
{
    return frontend::ReadGIFTiming(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
}

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
