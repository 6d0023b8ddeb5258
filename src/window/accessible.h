#pragma once
// What assistive technology sees of the print area and the selection lists.
#include <QAccessibleWidget>
#include <QHash>
#include <QLabel>
#include <QPointer>

namespace ozn {

class PrintArea;
class PrintText;
class SelectionList;

// The race's status line, which holds the focus while a race runs: blank,
// a screen reader passes it by.
class RaceStatus : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

// Installs the interfaces below for every PrintArea and SelectionList.
void installAccessibleFactories();

// Tells assistive technology that the list's current entry has the focus:
// a list that gets the focus names only itself. Events go to the desktop
// while it listens, or to `sink` when one is set (tests).
void focusCurrentEntry(SelectionList* list);
void setAccessibleEventSink(void (*sink)(QAccessibleEvent*));

// The print area as read-only text, line by line, for a screen reader's
// review commands.
class PrintAreaAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PrintAreaAccessible(PrintText* text);
    void* interface_cast(QAccessible::InterfaceType t) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    void selection(int, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override;

private:
    PrintArea* area() const;
};

// A selection list whose rows are made only when asked for. A screen reader
// that counts a list's children asks each one for its role over the bus
// (seconds for the 4896 trifecta entries), so no list exposes children to
// count: its description says how many entries it has instead. Focus and
// selection still name their row.
class SelectionListAccessible : public QAccessibleWidget {
public:
    explicit SelectionListAccessible(SelectionList* list);
    ~SelectionListAccessible() override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override;
    // The entries were replaced: rows made before no longer stand for them.
    void dropRows();

private:
    SelectionList* list() const;
    mutable QHash<int, QAccessible::Id> rows_;
};

}  // namespace ozn
