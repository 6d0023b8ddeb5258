#pragma once
#include <QListWidget>

namespace ozn {

// One of the six selection lists: Enter registers, the "0" key opens typed
// entry, Left/Right are swallowed and the Page keys jump by 10, 100 or 1000.
class SelectionList : public QListWidget {
    Q_OBJECT
public:
    SelectionList(int kind, QWidget* parent);
    int kind() const { return kind_; }
    QString currentText() const;
    // The entries one key would reach (arrows, then Page keys), nearest first.
    std::vector<std::string> neighbourTexts() const;
    // Replaces the entries without speaking.
    void fill(const QStringList& items);
    void empty();
    // The focus is sent back here after news (a purchase): its coming back
    // says nothing over the news.
    void comeBackQuietly();

signals:
    void enterPressed();
    void typedEntryRequested();
    void focused();
    void selectionSpoken(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void dropAccessibleRows();
    int kind_;
    bool quiet_ = false;
    bool awayToDialog_ = false;  // the focus left for a dialog, a menu or another window
    bool quietReturn_ = false;
    bool clickFocus_ = false;    // a click brought the focus: said once it has chosen its entry
};

}  // namespace ozn
