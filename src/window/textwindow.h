#pragma once
// A read-only text window (the manual, the key list, the speech history)
// and its text view, also used by the results window: the arrow keys move
// line by line and each line is read out as the cursor reaches it, unless a
// screen reader reads it itself.
#include <QDialog>
#include <QPlainTextEdit>
#include <QStringList>
#include <functional>
#include <string>

namespace ozn {

using SayLine = std::function<void(const std::string&)>;

// Sizes a window for so many full-width characters and lines of its font,
// so that it grows with the zoom, within the screen.
void fitToText(QWidget* window, int columns, int lines);

// Asks where to save a CSV file (fileName in the home folder to begin with),
// in a box whose fields a screen reader can name and read; its title and the
// file name are said as it opens. The keyboard comes back to `parent`'s
// window afterwards, also without a window manager. Empty when cancelled.
QString askCsvPath(QWidget* parent, const QString& title, const QString& fileName, const SayLine& say);

// A window of its own over the game's (not modal): the keyboard goes to it
// as it opens and back to the game's window when it closes, also without a
// window manager, which would otherwise leave the game's keys dead.
void handKeyboardBack(QDialog* window);

class LineView : public QPlainTextEdit {
    Q_OBJECT
public:
    LineView(const QString& name, SayLine sayLine, QWidget* parent);
    // Replaces the lines, keeping the cursor where it was when it can, or
    // at the top; nothing is read, since nobody moved.
    void setLines(const QStringList& lines, bool keepLine = true);
    // Reads the line at the cursor, as a window opens or changes.
    void sayCurrentLine();

private:
    void cursorMoved();
    SayLine sayLine_;
    int lastLine_ = -1;
};

class TextWindow : public QDialog {
    Q_OBJECT
public:
    // Opens itself (not modal) and deletes itself when closed.
    static TextWindow* open(QWidget* parent, const QString& objectName, const QString& title, const QStringList& lines,
                            SayLine sayLine);
    QPlainTextEdit* text() const { return text_; }
    void setLines(const QStringList& lines) { text_->setLines(lines); }

private:
    TextWindow(QWidget* parent, const QString& title, SayLine sayLine);
    LineView* text_;
};

}  // namespace ozn
