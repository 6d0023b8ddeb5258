#pragma once
// The game's QApplication: keeps a return from the game's own dialogs from
// being told to assistive technology as a change of window.
#include <QApplication>
#include <QPointer>

namespace ozn {

class GameApplication : public QApplication {
public:
    GameApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QPointer<QWidget> active_;
    QPointer<QWidget> under_;  // the window the active dialog was opened over
};

}  // namespace ozn
