#include "window/qtui.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include "core/stopsignal.h"
#include "sound/voice.h"
#include "window/printarea.h"

namespace ozn {
namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
QString titleOf(const std::string& t) { return t.empty() ? QStringLiteral("ozn") : q(t); }
}  // namespace

Answer QtUi::msgBox(const std::string& prompt, const std::string& title, int style) {
    // Ending from outside: nobody is there to answer, and a question's "yes"
    // (a new meeting, the close) leads on to the save.
    if (stopRequested()) return style == kStyleYesNo || style == kStyleYesNoQuestion ? Answer::Yes : Answer::Other;
    QMessageBox box(owner_);
    box.setWindowTitle(titleOf(title));
    box.setText(q(prompt));
    box.setTextFormat(Qt::PlainText);
    QPushButton *yes = nullptr, *retry = nullptr;
    if (style == kStyleYesNo || style == kStyleYesNoQuestion) {
        yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        if (style == kStyleYesNoQuestion) box.setIcon(QMessageBox::Question);
    } else if (style == kStyleNotice) {
        // One role for all three keeps them in this order on every desktop.
        auto* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::ActionRole);
        retry = box.addButton(QStringLiteral("再試行"), QMessageBox::ActionRole);
        box.addButton(QStringLiteral("続行"), QMessageBox::ActionRole);
        box.setDefaultButton(retry);
        box.setEscapeButton(cancel);
    } else {
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    }
    std::vector<std::string> buttons;
    for (QAbstractButton* b : box.buttons()) buttons.push_back(b->text().toStdString());
    announce(dialogSpeech(titleOf(title).toStdString(), prompt, buttons));
    box.exec();
    comeBack();
    if (retry && box.clickedButton() == retry) return Answer::Retry;
    if (!yes) return Answer::Other;
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

std::string QtUi::inputBox(const std::string& prompt, const std::string& title, const std::string& def) {
    if (stopRequested()) return "";
    QInputDialog dialog(owner_);
    dialog.setWindowTitle(titleOf(title));
    dialog.setLabelText(q(prompt));
    dialog.setTextValue(q(def));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    announce(dialogSpeech(titleOf(title).toStdString(), prompt, {}, def));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    comeBack();
    if (!accepted) return "";
    return dialog.textValue().toStdString();
}

void QtUi::comeBack() {
    // Without a window manager nobody hands the keyboard back to the window
    // when a dialog closes; the player would be left with a deaf game.
    if (owner_ && owner_->isVisible()) owner_->activateWindow();
}

void QtUi::announce(const std::string& text) {
    if (speaker_) speaker_->reading(text, SpeakMode::Interrupt, Topic::Dialog);
}

void QtUi::print(const std::string& text) { area_->print(q(text), false); }
void QtUi::printLine(const std::string& text) { area_->print(q(text), true); }
void QtUi::clearPrint() { area_->clear(); }
void QtUi::processEvents() { QCoreApplication::processEvents(); }
void QtUi::setClipboard(const std::string& text) {
    QClipboard* c = QGuiApplication::clipboard();
    c->clear();
    c->setText(q(text));
}

}  // namespace ozn
