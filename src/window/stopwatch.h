#pragma once
// SIGINT, SIGTERM and SIGHUP as an event of the window's loop: the game then
// answers for itself, so whatever waits for the player is closed first.
#include <QObject>
#include <functional>

namespace ozn {

class StopWatch : public QObject {
public:
    // `stop` is called once no dialog or popup is left open (a second
    // signal while ending changes nothing).
    StopWatch(QObject* parent, std::function<void()> stop);

private:
    void stopNow();
    void closeDialogsThenStop();
    std::function<void()> stop_;
    bool stopping_ = false;
};

}  // namespace ozn
