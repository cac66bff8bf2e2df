// The least any Qt window costs a scan on this machine: a bare label,
// renamed on each of the worker's steps through Qt's own blocking hand-over,
// with the pending events processed before the worker goes on, as the
// scanning page does. window-figures.sh sets it beside the window's share,
// since on a machine whose idle processors are slow to wake (a virtual
// machine) that floor alone can exceed the budget.
//   window_floor [extensions]

#include <QApplication>
#include <QLabel>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds for `steps` pauses of 10 ms, each followed by a hand-over when
// `label` is given.
double Run(QApplication& app, QLabel* label, int steps)
{
    std::atomic<bool> done = false;
    const auto started = Clock::now();
    std::thread worker([&] {
        for (int i = 0; i < steps; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (label)
                QMetaObject::invokeMethod(
                    label,
                    [label, i] {
                        label->setText(QString::number(i));
                        QCoreApplication::processEvents();
                    },
                    Qt::BlockingQueuedConnection);
        }
        done = true;
        QCoreApplication::postEvent(&app, new QEvent(QEvent::User));  // wakes the loop
    });
    while (!done)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    return std::chrono::duration<double>(Clock::now() - started).count();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    QLabel label(QStringLiteral(".ext"));
    label.resize(300, 40);
    label.show();
    for (int i = 0; i < 50; ++i)  // shown and painted once
        app.processEvents();
    const double alone = Run(app, nullptr, steps);
    const double windowed = Run(app, &label, steps);
    std::printf("bare_window_share_ms_per_extension %.3f\n", (windowed - alone) * 1000 / steps);
    return 0;
}
