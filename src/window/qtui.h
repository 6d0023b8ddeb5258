#pragma once
#include <QWidget>

#include "core/interfaces.h"

namespace ozn {

class PrintArea;

// The dialogs, the print area and the clipboard of the main window.
class QtUi : public Ui {
public:
    QtUi(QWidget* owner, PrintArea* area) : owner_(owner), area_(area) {}
    // Each dialog is read out as it opens (unless a screen reader reads it).
    void setSpeaker(Speaker* speaker) { speaker_ = speaker; }
    Answer msgBox(const std::string& prompt, const std::string& title, int style) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& def) override;
    void print(const std::string& text) override;
    void printLine(const std::string& text) override;
    void clearPrint() override;
    void processEvents() override;
    void setClipboard(const std::string& text) override;

private:
    void announce(const std::string& text);
    void comeBack();

    QWidget* owner_;
    PrintArea* area_;
    Speaker* speaker_ = nullptr;
};

}  // namespace ozn
