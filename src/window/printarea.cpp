#include "window/printarea.h"

#include <QAccessible>
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
    const int at = static_cast<int>(this->text().size());
    lines_.back() += text;
    if (newline) lines_.append(QString());
    notifyInserted(at, newline ? text + QLatin1Char('\n') : text);
    changed();
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

void PrintArea::fitText() {
    const QFontMetrics fm(font());
    int widest = 0;
    for (const QString& line : lines_) widest = std::max(widest, fm.horizontalAdvance(line));
    const int high = static_cast<int>(lines_.size()) * fm.lineSpacing() + fm.descent();
    setMinimumSize(std::max(controls_.width(), textLeft_ + widest + fm.averageCharWidth()),
                   std::max(controls_.height(), high));
}

void PrintArea::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) fitText();
    QWidget::changeEvent(event);
}

void PrintArea::clear() {
    const QString old = text();
    lines_ = QStringList{QString()};
    if (!old.isEmpty() && QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(text_, 0, old);
        QAccessible::updateAccessibility(&event);
    }
    changed();
}

void PrintArea::notifyInserted(int position, const QString& text) {
    if (text.isEmpty() || !QAccessible::isActive()) return;
    QAccessibleTextInsertEvent event(text_, position, text);
    QAccessible::updateAccessibility(&event);
}

void PrintArea::changed() {
    fitText();
    // Drawn at once: the race may go on to speak for a while before the
    // window gets back to its event loop, and the result must show meanwhile.
    if (isVisible()) repaint();
    else update();
}

void PrintArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    int y = fm.ascent();
    for (const QString& line : lines_) {
        if (y - fm.ascent() > height()) break;
        p.drawText(textLeft_, y, line);
        y += fm.lineSpacing();
    }
}

}  // namespace ozn
