#include "window/racedriver.h"

namespace ozn {

RaceDriver::RaceDriver(QObject* parent, GameRecord& rec, Ports ports, RaceHooks hooks, RaceCall call)
    : QObject(parent), ports_(ports), run_(rec, ports_, std::move(hooks), std::move(call)) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] { follow(run_.tick()); });
}

void RaceDriver::start() { follow(run_.start()); }

bool RaceDriver::escape() {
    if (!run_.beforeSettlement()) return false;
    run_.escape();
    return true;
}

void RaceDriver::follow(const RaceWait& w) {
    switch (w.kind) {
        case RaceWait::Kind::Tick:
            if (!timer_.isActive()) timer_.start();
            return;
        case RaceWait::Kind::Box:
            timer_.stop();
            // Opened from the event loop, never inside the tick that asked for it.
            QTimer::singleShot(0, this, [this] {
                const RaceWait& asked = run_.waiting();
                follow(run_.answered(ports_.ui.msgBox(asked.prompt, asked.title, asked.style)));
            });
            return;
        case RaceWait::Kind::Done:
            timer_.stop();
            emit finished(w.result);
            return;
    }
}

}  // namespace ozn
