#include "window/selectionlist.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTimer>

#include "betting/betting.h"
#include "window/accessible.h"

namespace ozn {

SelectionList::SelectionList(int kind, QWidget* parent) : QListWidget(parent), kind_(kind) {
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QListWidget::currentRowChanged, this, [this](int) {
        if (!quiet_ && !clickFocus_) emit selectionSpoken(currentText());
    });
    // Away to a dialog, the window's focus can move on (the dialog's answer
    // moves it, or a click): then this list is no longer what comes back,
    // and the next arrival here is a move to be said.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now != this && now->window() == window() && !qobject_cast<QMenuBar*>(now))
            awayToDialog_ = quietReturn_ = false;
    });
}

QString SelectionList::currentText() const {
    QListWidgetItem* item = currentItem();
    return item && currentRow() >= 0 ? item->text() : QString();
}

std::vector<std::string> SelectionList::neighbourTexts() const {
    std::vector<std::string> out;
    for (int r : rowsAhead(kind_, currentRow(), count())) out.push_back(item(r)->text().toStdString());
    return out;
}

void SelectionList::fill(const QStringList& items) {
    quiet_ = true;
    clear();
    addItems(items);
    quiet_ = false;
    dropAccessibleRows();
}

void SelectionList::empty() {
    quiet_ = true;
    clear();
    quiet_ = false;
    dropAccessibleRows();
}

void SelectionList::comeBackQuietly() {
    if (!hasFocus()) quietReturn_ = true;
}

void SelectionList::dropAccessibleRows() {
    if (!QAccessible::isActive()) return;
    if (auto* a = dynamic_cast<SelectionListAccessible*>(QAccessible::queryAccessibleInterface(this))) a->dropRows();
}

void SelectionList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: emit enterPressed(); return;
        case Qt::Key_Left:
        case Qt::Key_Right: return;
        case Qt::Key_PageDown:
        case Qt::Key_PageUp: {
            Qt::KeyboardModifiers m = event->modifiers() & ~Qt::KeypadModifier;
            int step = pageStep(kind_, {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                                        m.testFlag(Qt::AltModifier)});
            if (step == 0) break;
            if (count() == 0) return;
            int row = event->key() == Qt::Key_PageDown ? pageDownIndex(currentRow(), count(), step)
                                                        : pageUpIndex(currentRow(), step);
            setCurrentRow(row);
            return;
        }
        case Qt::Key_0: emit typedEntryRequested(); return;
        case Qt::Key_End:
            // With no entry selected yet, Qt's list would go to the first.
            if (currentRow() < 0 && count() > 0) return setCurrentRow(count() - 1);
            break;
        default: break;
    }
    QListWidget::keyPressEvent(event);
}

void SelectionList::mousePressEvent(QMouseEvent* event) {
    // A click on the entry already selected speaks it again.
    int before = currentRow();
    QListWidget::mousePressEvent(event);
    if (before >= 0 && currentRow() == before && !clickFocus_) emit selectionSpoken(currentText());
}

void SelectionList::focusInEvent(QFocusEvent* event) {
    // The list keeps "no entry selected" when it gets the focus, so the
    // first Down arrow selects (and speaks) the first entry.
    bool hadCurrent = currentIndex().isValid();
    quiet_ = true;
    QListWidget::focusInEvent(event);
    if (!hadCurrent) setCurrentIndex(QModelIndex());
    quiet_ = false;
    // Coming back from a dialog is no change of control: nothing to announce.
    bool returning = awayToDialog_ || quietReturn_;
    awayToDialog_ = quietReturn_ = false;
    // After the list's own focus, which a screen reader reads as the list's name.
    if (currentRow() >= 0) QTimer::singleShot(0, this, [this] { focusCurrentEntry(this); });
    if (returning) return;
    if (event->reason() != Qt::MouseFocusReason) return emit focused();
    // The click that brought the focus goes on to choose an entry (or hits
    // the scroll bar): the list is said once, with the entry it ends on.
    clickFocus_ = true;
    QTimer::singleShot(0, this, [this] {
        clickFocus_ = false;
        if (hasFocus()) emit focused();
    });
}

void SelectionList::focusOutEvent(QFocusEvent* event) {
    // A dialog, a menu or another window: the player has not moved on.
    const Qt::FocusReason r = event->reason();
    awayToDialog_ = r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason || r == Qt::MenuBarFocusReason;
    QListWidget::focusOutEvent(event);
}

}  // namespace ozn
