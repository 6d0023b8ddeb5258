#pragma once
#include <QWidget>
#include <functional>

#include "core/interfaces.h"

namespace ozn {

class PrintArea;
class VoiceDispatcher;

// The dialogs, the print area and the clipboard of the main window.
class QtUi : public Ui {
public:
    QtUi(QWidget* owner, PrintArea* area) : owner_(owner), area_(area) {}
    // Each dialog is read out as it opens (unless a screen reader reads it).
    void setSpeaker(VoiceDispatcher* speaker) { speaker_ = speaker; }
    void aboutNextDialog(const std::string& context) override { context_ = context; }
    // Where the sounds of events go.
    void setEffects(std::function<void(Effect)> play) { effects_ = std::move(play); }
    Answer msgBox(const std::string& prompt, const std::string& title, int style) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& def) override;
    void print(const std::string& text) override;
    void printLine(const std::string& text) override;
    void clearPrint() override;
    void setClipboard(const std::string& text) override;
    void effect(Effect e) override {
        if (effects_) effects_(e);
    }
    void post(std::function<void()> task) override;

private:
    // Says what a dialog says as it opens; run() shows it. Closing it stops
    // what was said of it, unless something else was said meanwhile.
    int run(class QDialog& dialog, const std::string& said);
    void comeBack();

    QWidget* owner_;
    PrintArea* area_;
    VoiceDispatcher* speaker_ = nullptr;
    std::string context_;
    std::function<void(Effect)> effects_;
};

}  // namespace ozn
