#include "window/qtui.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

#include "core/stopsignal.h"
#include "sound/voice.h"
#include "window/printarea.h"
#include "window/qtext.h"

namespace ozn {
namespace {
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
    box.setAccessibleName(titleOf(title));
    run(box, dialogSpeech(titleOf(title).toStdString(), prompt, buttons));
    if (retry && box.clickedButton() == retry) return Answer::Retry;
    if (!yes) return Answer::Other;
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

std::string QtUi::inputBox(const std::string& prompt, const std::string& title, const std::string& def) {
    if (stopRequested()) return "";
    QInputDialog dialog(owner_);
    dialog.setWindowTitle(titleOf(title));
    // The ticket a stake is for, in the box's own text, where a screen reader reads it.
    const std::string ticket = std::exchange(context_, "");
    dialog.setLabelText(q(ticket.empty() ? prompt : ticket + "\n" + prompt));
    dialog.setTextValue(q(def));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    // The stake box's title is a bare number: its name says what it asks for.
    const bool stake = !title.empty() && title.find_first_not_of("0123456789") == std::string::npos;
    dialog.setAccessibleName(stake                                            ? QStringLiteral("金額の入力")
                             : prompt.find("馬番") != std::string::npos ? QStringLiteral("馬番の入力")
                                                                           : titleOf(title));
    const std::string said = dialogSpeech(titleOf(title).toStdString(), prompt, {}, def);
    const bool accepted = run(dialog, ticket.empty() ? said : ticket + "。" + said) == QDialog::Accepted;
    if (!accepted) return "";
    return dialog.textValue().toStdString();
}

void QtUi::comeBack() {
    // Without a window manager nobody hands the keyboard back to the window
    // when a dialog closes; the player would be left with a deaf game.
    if (owner_ && owner_->isVisible()) owner_->activateWindow();
}

namespace {
// Escape in a box's first second is a key meant for what came before (the
// race's music, a second press): the box and what it says stay.
class EarlyEscape : public QObject {
public:
    explicit EarlyEscape(QObject* parent) : QObject(parent) { opened_.start(); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
               opened_.elapsed() < 1000;
    }

private:
    QElapsedTimer opened_;
};
}  // namespace

int QtUi::run(QDialog& dialog, const std::string& said) {
    const std::uint64_t before = speaker_ ? speaker_->handed() : 0;
    if (speaker_) speaker_->reading(said, SpeakMode::Interrupt, Topic::Dialog);
    auto* guard = new EarlyEscape(&dialog);
    for (QWidget* w : dialog.findChildren<QWidget*>()) w->installEventFilter(guard);
    dialog.installEventFilter(guard);
    const int result = dialog.exec();
    // What was said while it was open belongs to it: its text, F3's repeat
    // of it, the keys typed into it. It ends with it.
    if (speaker_ && speaker_->handed() != before) speaker_->stop();
    comeBack();
    return result;
}

void QtUi::print(const std::string& text) { area_->print(q(text), false); }
void QtUi::printLine(const std::string& text) { area_->print(q(text), true); }
void QtUi::clearPrint() { area_->clear(); }
// Dropped with the window if it is gone by then.
void QtUi::post(std::function<void()> task) { QMetaObject::invokeMethod(owner_, std::move(task), Qt::QueuedConnection); }
void QtUi::setClipboard(const std::string& text) {
    QClipboard* c = QGuiApplication::clipboard();
    c->clear();
    c->setText(q(text));
}

}  // namespace ozn
