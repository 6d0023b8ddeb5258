#include "window/textwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QVBoxLayout>

#include "sound/readings.h"

namespace ozn {

void fitToText(QWidget* window, int columns, int lines) {
    const QFontMetrics fm(window->font());
    QSize size(fm.horizontalAdvance(QChar(0x99AC)) * columns, fm.lineSpacing() * lines);  // 馬: a full-width character
    if (const QScreen* screen = window->screen()) size = size.boundedTo(screen->availableGeometry().size());
    window->resize(size);
}

QString askCsvPath(QWidget* parent, const QString& title, const QString& fileName, const SayLine& say) {
    QFileDialog dialog(parent, title, QDir::homePath() + QLatin1Char('/') + fileName, QStringLiteral("CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // one whose fields can be named and read
    dialog.setAccessibleName(title);
    say((title + QStringLiteral("\r\nファイル名 ") + fileName).toStdString());
    const QString path = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    parent->window()->activateWindow();
    return path;
}

void handKeyboardBack(QDialog* window) {
    QObject::connect(window, &QDialog::finished, window, [window] {
        QWidget* owner = window->parentWidget();
        if (owner && owner->isVisible()) owner->window()->activateWindow();
    });
}

LineView::LineView(const QString& name, SayLine sayLine, QWidget* parent)
    : QPlainTextEdit(parent), sayLine_(std::move(sayLine)) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setAccessibleName(name);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &LineView::cursorMoved);
}

void LineView::setLines(const QStringList& lines, bool keepLine) {
    const int line = keepLine ? textCursor().blockNumber() : 0;
    QSignalBlocker quiet(this);  // nobody moved: nothing to read
    setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor c(document()->findBlockByNumber(std::min(line, document()->blockCount() - 1)));
    setTextCursor(c);
    lastLine_ = c.blockNumber();
}

void LineView::sayCurrentLine() {
    lastLine_ = -1;
    cursorMoved();
}

void LineView::cursorMoved() {
    const QTextBlock block = textCursor().block();
    if (block.blockNumber() == lastLine_) return;  // moved within the line
    lastLine_ = block.blockNumber();
    if (sayLine_) sayLine_(lineSpeech(block.text().toStdString()));
}

TextWindow::TextWindow(QWidget* parent, const QString& title, SayLine sayLine)
    : QDialog(parent), text_(new LineView(title, std::move(sayLine), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    setAccessibleName(title);
    handKeyboardBack(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
}

TextWindow* TextWindow::open(QWidget* parent, const QString& objectName, const QString& title,
                             const QStringList& lines, SayLine sayLine) {
    auto* w = new TextWindow(parent, title, std::move(sayLine));
    w->setObjectName(objectName);
    w->setLines(lines);
    fitToText(w, 56, 28);
    w->show();
    w->activateWindow();
    w->text_->setFocus();
    w->text_->sayCurrentLine();  // the first line, as the window opens
    return w;
}

}  // namespace ozn
