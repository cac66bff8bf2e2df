#pragma once

// An animated GIF picture. Frames are decoded once, each already composed
// over the ones before it as the file's disposal and transparency say. The
// stepping is the shared GIF player (frontend/GIFPlayer.h) over a QTimer:
// each frame stays for its delay (hundredths of a second) times 12 ms, and
// the animation repeats as the loop count says, also while nobody looks.

#include "frontend/GIFPlayer.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace quelvo::widgets {

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
    int FrameTime(int index) const { return FPlayer.FrameTime(index); }
    // 0: forever.
    int LoopCount() const { return FPlayer.LoopCount(); }

    bool Animate() const { return FPlayer.Animate(); }
    // Setting the value it already has does nothing.
    void SetAnimate(bool on) { FPlayer.SetAnimate(on); }

    int CurrentFrame() const { return FPlayer.CurrentFrame(); }
    const QImage& CurrentImage() const;
    const QImage& Frame(int index) const;

    // Moves to the next frame as the timer would (tests drive it by hand).
    void Step() { FPlayer.Step(); }

    // Fires when the shown frame changed.
    std::function<void()> OnChange;

private:
    // The player's timer and repaints.
    class Host : public frontend::TControlHost {
    public:
        explicit Host(TGIFImage& image) : m_image(image) {}
        void Repaint() override;
        void StartTimer(int milliseconds) override { m_image.FTimer.start(milliseconds); }
        void StopTimer() override { m_image.FTimer.stop(); }

    private:
        TGIFImage& m_image;
    };

    std::vector<QImage> FFrames;
    QTimer FTimer;
    Host FHost{*this};
    frontend::TGIFPlayer FPlayer{FHost};
};

}  // namespace quelvo::widgets
