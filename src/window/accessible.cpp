#include "window/accessible.h"

#include <QFontMetrics>
#include <algorithm>

#include "window/printarea.h"
#include "window/selectionlist.h"

namespace ozn {
namespace {

class ListRowAccessible : public QAccessibleInterface {
public:
    ListRowAccessible(SelectionList* list, int row) : list_(list), row_(row) {}
    bool isValid() const override { return list_ && row_ < list_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid() || t != QAccessible::Name) return {};
        return list_->item(row_)->text();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        QRect r = list_->visualItemRect(list_->item(row_));
        return QRect(list_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = s.focusable = true;
        s.selected = list_->item(row_)->isSelected();
        s.focused = list_->hasFocus() && list_->currentRow() == row_;
        QRect shown = list_->visualItemRect(list_->item(row_));
        s.invisible = !list_->isVisible();
        s.offscreen = !list_->viewport()->rect().intersects(shown);
        return s;
    }
    int row() const { return row_; }
    const SelectionList* list() const { return list_.data(); }

private:
    QPointer<SelectionList> list_;
    int row_;
};

// The race's status holds the focus while a race runs, and takes it back
// as each box closes: a screen reader reads what it says ("発走") without a
// role, and passes it by once the race is settled and it is blank, so that
// the money line is heard alone. (A screen reader keeps the role it first
// read, so the role never changes.)
class RaceStatusAccessible : public QAccessibleWidget {
public:
    explicit RaceStatusAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Whitespace) {}
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? static_cast<QLabel*>(widget())->text() : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* factory(const QString& key, QObject* object) {
    if (key == QLatin1String("ozn::RaceStatus")) return new RaceStatusAccessible(static_cast<QLabel*>(object));
    if (key == QLatin1String("ozn::PrintText")) return new PrintAreaAccessible(static_cast<PrintText*>(object));
    if (key == QLatin1String("ozn::SelectionList"))
        return new SelectionListAccessible(static_cast<SelectionList*>(object));
    return nullptr;
}

}  // namespace

namespace {
void (*eventSink)(QAccessibleEvent*) = nullptr;
}

void setAccessibleEventSink(void (*sink)(QAccessibleEvent*)) { eventSink = sink; }

void focusCurrentEntry(SelectionList* list) {
    if (!list->hasFocus() || list->currentRow() < 0 || (!eventSink && !QAccessible::isActive())) return;
    QAccessibleEvent entry(list, QAccessible::Focus);
    entry.setChild(list->currentRow());
    eventSink ? eventSink(&entry) : QAccessible::updateAccessibility(&entry);
}

void installAccessibleFactories() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(factory);
}

// ---- print area -----------------------------------------------------------

PrintAreaAccessible::PrintAreaAccessible(PrintText* text) : QAccessibleWidget(text, QAccessible::EditableText) {}

PrintArea* PrintAreaAccessible::area() const { return static_cast<PrintArea*>(widget()->parentWidget()); }

QString PrintAreaAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const {
    if (type != QAccessible::LineBoundary) return QAccessibleTextInterface::textAtOffset(offset, type, start, end);
    // Always a whole printed line, never a piece of one.
    const QString all = area()->text();
    offset = std::clamp(offset, 0, static_cast<int>(all.size()));
    *start = offset > 0 ? static_cast<int>(all.lastIndexOf(QLatin1Char('\n'), offset - 1)) + 1 : 0;
    const qsizetype nl = all.indexOf(QLatin1Char('\n'), offset);
    *end = nl < 0 ? static_cast<int>(all.size()) : static_cast<int>(nl) + 1;
    return all.mid(*start, *end - *start);
}

void* PrintAreaAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QAccessible::State PrintAreaAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.editable = false;
    return s;
}

QString PrintAreaAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return area()->text();
    return QAccessibleWidget::text(t);
}

void PrintAreaAccessible::selection(int, int* startOffset, int* endOffset) const { *startOffset = *endOffset = 0; }

QString PrintAreaAccessible::text(int startOffset, int endOffset) const {
    return area()->text().mid(startOffset, endOffset - startOffset);
}

int PrintAreaAccessible::characterCount() const { return static_cast<int>(area()->text().size()); }

QRect PrintAreaAccessible::characterRect(int offset) const {
    const QStringList& lines = area()->lines();
    const QFontMetrics fm(area()->font());
    int line = 0;
    while (line < lines.size() - 1 && offset > lines[line].size()) offset -= static_cast<int>(lines[line++].size()) + 1;
    const QString& s = lines[line];
    offset = std::min<int>(offset, static_cast<int>(s.size()));
    int x = fm.horizontalAdvance(s.left(offset));
    int w = offset < s.size() ? fm.horizontalAdvance(s.at(offset)) : 0;
    QPoint topLeft = area()->mapToGlobal(QPoint(x, line * fm.lineSpacing()));
    return QRect(topLeft, QSize(w, fm.height()));
}

int PrintAreaAccessible::offsetAtPoint(const QPoint& point) const {
    const QStringList& lines = area()->lines();
    const QFontMetrics fm(area()->font());
    QPoint p = area()->mapFromGlobal(point);
    int line = p.y() / fm.lineSpacing();
    if (p.y() < 0 || line >= lines.size()) return -1;
    int offset = 0;
    for (int i = 0; i < line; ++i) offset += static_cast<int>(lines[i].size()) + 1;
    const QString& s = lines[line];
    for (int c = 0; c < s.size(); ++c)
        if (fm.horizontalAdvance(s.left(c + 1)) > p.x()) return offset + c;
    return -1;
}

QString PrintAreaAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}

// ---- selection lists ------------------------------------------------------

SelectionListAccessible::SelectionListAccessible(SelectionList* list) : QAccessibleWidget(list, QAccessible::List) {}

SelectionListAccessible::~SelectionListAccessible() { dropRows(); }

SelectionList* SelectionListAccessible::list() const { return static_cast<SelectionList*>(widget()); }

int SelectionListAccessible::childCount() const { return 0; }

QAccessibleInterface* SelectionListAccessible::child(int index) const {
    if (index < 0 || index >= list()->count()) return nullptr;
    auto found = rows_.constFind(index);
    if (found != rows_.constEnd())
        if (QAccessibleInterface* iface = QAccessible::accessibleInterface(*found)) return iface;
    auto* row = new ListRowAccessible(list(), index);
    rows_.insert(index, QAccessible::registerAccessibleInterface(row));
    return row;
}

int SelectionListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    auto* row = dynamic_cast<const ListRowAccessible*>(child);
    return row && row->list() == list() ? row->row() : -1;
}

QAccessibleInterface* SelectionListAccessible::focusChild() const {
    int row = list()->currentRow();
    return list()->hasFocus() && row >= 0 ? child(row) : nullptr;
}

QAccessibleInterface* SelectionListAccessible::childAt(int x, int y) const {
    QPoint p = list()->viewport()->mapFromGlobal(QPoint(x, y));
    QListWidgetItem* item = list()->itemAt(p);
    return item ? child(list()->row(item)) : nullptr;
}

QString SelectionListAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Description) return QStringLiteral("%1件").arg(list()->count());
    return QAccessibleWidget::text(t);
}

void SelectionListAccessible::dropRows() {
    for (QAccessible::Id id : std::as_const(rows_)) QAccessible::deleteAccessibleInterface(id);
    rows_.clear();
}

}  // namespace ozn
