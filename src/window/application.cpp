#include "window/application.h"

#include <QDialog>
#include <QApplicationStateChangeEvent>

namespace ozn {

GameApplication::GameApplication(int& argc, char** argv) : QApplication(argc, argv) {}

// Closing a stake box or a message box gives the activation back to the
// window under it. Qt reports every spontaneous activation to the
// accessibility bus, and a screen reader then names the whole window
// ("ozn frame") before the control that gets the focus, after every
// purchase. Going back from a dialog that closed to the window it was opened
// over is not a change of window: that window still gets its activation,
// only not as a spontaneous one. Switching from another program, from a
// window left open, or to a new dialog is reported as usual.
bool GameApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::ApplicationStateChange && event->spontaneous() &&
        static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive) {
        active_ = nullptr;
        under_ = nullptr;
    } else if (event->type() == QEvent::WindowActivate && event->spontaneous()) {
        auto* w = qobject_cast<QWidget*>(receiver);
        if (w && w->isWindow() && w != active_) {
            const bool back = under_ && under_ == w && (!active_ || !active_->isVisible());
            active_ = w;
            QWidget* parent = qobject_cast<QDialog*>(w) ? w->parentWidget() : nullptr;
            under_ = parent ? parent->window() : nullptr;
            if (back) {
                QEvent quiet(QEvent::WindowActivate);
                return QApplication::notify(receiver, &quiet);
            }
        }
    }
    return QApplication::notify(receiver, event);
}

}  // namespace ozn
