#include "window/textwindow.h"

#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QVBoxLayout>

namespace ozn {

TextWindow::TextWindow(QWidget* parent, const QString& title, SayLine sayLine)
    : QDialog(parent), text_(new QPlainTextEdit(this)), sayLine_(std::move(sayLine)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    setAccessibleName(title);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    text_->setAccessibleName(title);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    connect(text_, &QPlainTextEdit::cursorPositionChanged, this, &TextWindow::cursorMoved);
}

TextWindow* TextWindow::open(QWidget* parent, const QString& objectName, const QString& title,
                             const QStringList& lines, SayLine sayLine) {
    auto* w = new TextWindow(parent, title, std::move(sayLine));
    w->setObjectName(objectName);
    w->setLines(lines);
    w->resize(720, 480);
    w->show();
    w->text_->setFocus();
    w->lastLine_ = -1;
    w->cursorMoved();  // the first line, as the window opens
    return w;
}

void TextWindow::setLines(const QStringList& lines) {
    const int line = text_->textCursor().blockNumber();
    QSignalBlocker quiet(text_);  // nobody moved: nothing to read
    text_->setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor c(text_->document()->findBlockByNumber(std::min(line, text_->document()->blockCount() - 1)));
    text_->setTextCursor(c);
    lastLine_ = c.blockNumber();
}

void TextWindow::cursorMoved() {
    const QTextBlock block = text_->textCursor().block();
    if (block.blockNumber() == lastLine_) return;  // moved within the line
    lastLine_ = block.blockNumber();
    if (sayLine_) sayLine_(block.text().trimmed().isEmpty() ? std::string("空行") : block.text().toStdString());
}

}  // namespace ozn
