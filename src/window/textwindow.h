#pragma once
// A read-only text window (the manual, the key list, the results, the
// speech history): the arrow keys move line by line and each line is read
// out as the cursor reaches it, unless a screen reader reads it itself.
#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>

class QPlainTextEdit;

namespace ozn {

class TextWindow : public QDialog {
    Q_OBJECT
public:
    using SayLine = std::function<void(const std::string&)>;
    // Opens itself (not modal) and deletes itself when closed.
    static TextWindow* open(QWidget* parent, const QString& objectName, const QString& title, const QStringList& lines,
                            SayLine sayLine);
    QPlainTextEdit* text() const { return text_; }
    // Replaces the lines, keeping the cursor where it was when it can.
    void setLines(const QStringList& lines);

private:
    TextWindow(QWidget* parent, const QString& title, SayLine sayLine);
    void cursorMoved();
    QPlainTextEdit* text_;
    SayLine sayLine_;
    int lastLine_ = -1;
};

}  // namespace ozn
