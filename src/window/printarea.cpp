#include "window/printarea.h"

#include <QAccessible>
#include <QPainter>

namespace ozn {

PrintArea::PrintArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("出力"));
}

void PrintArea::print(const QString& text, bool newline) {
    lines_.back() += text;
    if (newline) lines_.append(QString());
    changed();
}

void PrintArea::clear() {
    lines_ = QStringList{QString()};
    changed();
}

void PrintArea::changed() {
    QString all = lines_.join(QLatin1Char('\n')).trimmed();
    setAccessibleDescription(all);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
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
        p.drawText(0, y, line);
        y += fm.lineSpacing();
    }
}

}  // namespace ozn
