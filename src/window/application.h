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
    bool dialogWasActive_ = false;
    QPointer<QWidget> active_;
};

}  // namespace ozn
