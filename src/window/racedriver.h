#pragma once
// Runs a race in the window's own event loop: the clock's ticks come from a
// timer and the boxes open from it, so the window repaints, answers keys and
// the accessibility bus all through the race, the fanfare included.
#include <QObject>
#include <QTimer>

#include "race/run.h"

namespace ozn {

class RaceDriver : public QObject {
    Q_OBJECT
public:
    RaceDriver(QObject* parent, GameRecord& rec, Ports ports, RaceHooks hooks, RaceCall call);
    void start();
    // Escape: the start music and its calls end (from the start until settled).
    bool escape();
    // A close or a stop asked for during the race: done once it is settled.
    void askToClose() { closeAsked_ = true; }
    bool closeAsked() const { return closeAsked_; }

signals:
    void finished(HassoResult result);

private:
    void follow(const RaceWait& w);
    Ports ports_;
    RaceRun run_;
    QTimer timer_;
    bool closeAsked_ = false;
};

}  // namespace ozn
