#include "window/printarea.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>

namespace ozn {

PrintText::PrintText(QWidget* area) : QWidget(area) {
    setAccessibleName(QStringLiteral("出力"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

PrintArea::PrintArea(QWidget* parent) : QWidget(parent), text_(new PrintText(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
    text_->lower();
}

void PrintArea::resizeEvent(QResizeEvent* event) {
    text_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void PrintArea::print(const QString& text, bool newline) {
    const int at = static_cast<int>(length_);
    const int row = static_cast<int>(lines_.size()) - 1;
    lines_.back() += text;
    length_ += text.size();
    if (newline) lines_.append(QString()), ++length_;
    notifyInserted(at, newline ? text + QLatin1Char('\n') : text);
    changed(row);
}

void PrintArea::setTextLeft(int x) {
    if (x == textLeft_) return;
    textLeft_ = x;
    fitText();
    update();
}

void PrintArea::setControlsExtent(QSize size) {
    controls_ = size;
    fitText();
}

void PrintArea::fitText(int from) {
    const QFontMetrics fm(font());
    if (from == 0) widest_ = 0;
    for (int i = from; i < lines_.size(); ++i) widest_ = std::max(widest_, fm.horizontalAdvance(lines_[i]));
    const int high = static_cast<int>(lines_.size()) * fm.lineSpacing() + fm.descent();
    setMinimumSize(std::max(controls_.width(), textLeft_ + widest_ + fm.averageCharWidth()),
                   std::max(controls_.height(), high));
}

void PrintArea::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) fitText();
    QWidget::changeEvent(event);
}

void PrintArea::clear() {
    const QString old = text();
    lines_ = QStringList{QString()};
    length_ = 0;
    if (!old.isEmpty() && QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(text_, 0, old);
        QAccessible::updateAccessibility(&event);
    }
    changed(0);
}

void PrintArea::notifyInserted(int position, const QString& text) {
    if (text.isEmpty() || !QAccessible::isActive()) return;
    QAccessibleTextInsertEvent event(text_, position, text);
    QAccessible::updateAccessibility(&event);
}

void PrintArea::changed(int from) {
    fitText(from);
    // Only the rows that changed, drawn when the window is back in its event
    // loop (the race returns to it between its ticks): a repaint at once
    // would redraw the lists and buttons under the text at every line.
    const int step = QFontMetrics(font()).lineSpacing();
    const QRect rows(0, from * step, width(), from == 0 ? height() : 2 * step);
    update(rows);
}

void PrintArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const int step = fm.lineSpacing();
    const int first = std::max(0, event->rect().top() / step - 1);
    const int last = std::min(static_cast<int>(lines_.size()) - 1, event->rect().bottom() / step + 1);
    for (int i = first; i <= last; ++i) p.drawText(textLeft_, fm.ascent() + i * step, lines_[i]);
}

}  // namespace ozn
