#include "window/stopwatch.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <unistd.h>

#include "core/stopsignal.h"

namespace ozn {

StopWatch::StopWatch(QObject* parent, std::function<void()> stop) : QObject(parent), stop_(std::move(stop)) {
    const int fd = installStopSignals();
    if (fd < 0) return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd] {
        char buf[16];
        while (::read(fd, buf, sizeof buf) > 0) {
        }
        stopNow();
    });
    if (stopRequested()) QTimer::singleShot(0, this, &StopWatch::stopNow);
}

void StopWatch::stopNow() {
    if (std::exchange(stopping_, true)) return;
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    closeDialogsThenStop();
}

void StopWatch::closeDialogsThenStop() {
    // Still inside a dialog's loop: come back once it has ended.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(10, this, &StopWatch::closeDialogsThenStop);
        return;
    }
    stop_();
}

}  // namespace ozn
