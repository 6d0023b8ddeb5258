#pragma once
#include <QStringList>
#include <QWidget>

namespace ozn {

// What assistive technology reads of the print area: a child of it beside
// the controls, so that the printed lines are not read out as the
// surroundings of every control the focus reaches.
class PrintText : public QWidget {
    Q_OBJECT
public:
    explicit PrintText(QWidget* area);
};

// The window's client area as a text surface: text is drawn beneath the
// controls, kept across repaints, clipped and never wrapped.
class PrintArea : public QWidget {
    Q_OBJECT
public:
    explicit PrintArea(QWidget* parent = nullptr);
    void print(const QString& text, bool newline);
    // Where lines start, so that none needs to hide under a control.
    void setTextLeft(int x);
    // The room the controls take: the area is at least this large, and
    // larger where printed lines need it, so that a scroll reaches each one.
    void setControlsExtent(QSize size);
    int textLeft() const { return textLeft_; }
    void clear();
    // Everything printed since the last clear, one entry per line.
    const QStringList& lines() const { return lines_; }
    // The same as one text, lines separated by "\n".
    QString text() const { return lines_.join(QLatin1Char('\n')); }
    // The printed text as assistive technology sees it.
    QWidget* textWidget() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Redraws the rows of lines `from`..the last at once.
    void changed(int from);
    // The size the lines need; `from`: only those lines changed since.
    void fitText(int from = 0);
    // Tells assistive technology what was added or taken away.
    void notifyInserted(int position, const QString& text);
    QStringList lines_{QString()};
    qsizetype length_ = 0;  // of text(), kept so that a print costs the same at line 1000 as at line 1
    int widest_ = 0;        // the widest line's width, in the font it was measured in
    int textLeft_ = 0;
    QSize controls_;
    PrintText* text_;
};

}  // namespace ozn
