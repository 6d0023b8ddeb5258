#include "window/speechcontrol.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include "betting/betting.h"
#include "sound/voice.h"
#include "window/printarea.h"
#include "window/resultswindow.h"
#include "window/selectionlist.h"
#include "window/qtext.h"
#include "window/sounddialog.h"
#include "window/textwindow.h"

namespace ozn {
namespace {

// A caption without its access key: "発送(&h)" is 発送, "&OK" is OK.
std::string plainCaption(const QString& text) { return menuItemSpeech(text.toStdString(), ""); }

// Where a key acts, for key help: a list (and its kind), a buying button,
// the results window, a text window, or anywhere else.
KeyPlace placeOf(QWidget* focus, int* kind) {
    if (auto* l = qobject_cast<SelectionList*>(focus)) {
        *kind = l->kind();
        return KeyPlace::List;
    }
    if (!focus) return KeyPlace::Anywhere;
    if (qobject_cast<ResultsWindow*>(focus->window())) return KeyPlace::Results;
    if (qobject_cast<TextWindow*>(focus->window())) return KeyPlace::Text;
    return qobject_cast<QPushButton*>(focus) && qobject_cast<PrintArea*>(focus->parentWidget()) ? KeyPlace::Button
                                                                                              : KeyPlace::Anywhere;
}

}  // namespace

std::string keyName(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_Control) return "Ctrl";
    mods &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return QKeySequence(QKeyCombination(mods, Qt::Key(key))).toString(QKeySequence::PortableText).toStdString();
}

SpeechControl::SpeechControl(QWidget* window, VoiceDispatcher& speech, Hooks hooks)
    : QObject(window), window_(window), speech_(speech), hooks_(std::move(hooks)) {
    QSettings s = userSettings();
    std::map<std::string, int> values;
    for (const std::string& k : SoundSettings::keys()) {
        bool ok = false;
        int v = s.value(q(k)).toInt(&ok);
        if (ok) values[k] = v;
    }
    settings_ = SoundSettings::fromValues(values);
    apply();
    qApp->installEventFilter(this);
}

SpeechControl::~SpeechControl() { qApp->removeEventFilter(this); }

void SpeechControl::apply() {
    speech_.setParams(settings_.speech());
    // The next steps of speed and volume are heard at once: each is made
    // ahead in the voice it will be said in.
    for (int direction : {1, -1})
        for (auto step : {&stepSpeed, &stepVolume}) {
            SoundSettings next = settings_;
            const std::string said = step(next, direction);
            speech_.prefetchIn(next.speech(), {said});
        }
    if (hooks_.applySound) hooks_.applySound(settings_);
}

void SpeechControl::setSettings(const SoundSettings& s) {
    settings_ = s.clamped();
    QSettings store = userSettings();
    for (const auto& [k, v] : settings_.values()) store.setValue(q(k), v);
    apply();
}

void SpeechControl::setKeyHelp(bool on) {
    keyHelp_ = on;
    speech_.answer(on ? kKeyHelpOn : kKeyHelpOff);
}

void SpeechControl::say(const std::string& text, Topic topic) { speech_.reading(text, SpeakMode::Interrupt, topic); }

bool SpeechControl::eventFilter(QObject* watched, QEvent* event) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn) {
        focusIn(w, static_cast<QFocusEvent*>(event));
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) return false;
    // A key travels from the focus up to the window: it is taken once, where it starts.
    auto* k = static_cast<QKeyEvent*>(event);
    const Seen seen{event, type, k->key(), k->timestamp()};
    if (seen == seen_ && seenBy_ && w->isAncestorOf(seenBy_)) return false;
    seen_ = seen;
    seenBy_ = w;
    if (type == QEvent::ShortcutOverride) {
        // In key help no menu command runs: the key comes here instead.
        if (keyHelp_ && k->key() != Qt::Key_F1) {
            event->accept();
            return true;
        }
        return false;
    }
    if (type == QEvent::KeyRelease) {
        if (k->key() == Qt::Key_Control && !k->isAutoRepeat() && ctrlAlone_) {
            ctrlAlone_ = false;
            if (keyHelp_) speech_.answer(ozn::keyHelp("Ctrl", KeyPlace::Anywhere));
            else speech_.stop();
        }
        return false;
    }
    return key(w, k);
}

bool SpeechControl::key(QWidget* receiver, QKeyEvent* event) {
    const int k = event->key();
    if (k == Qt::Key_Control) {
        if (!event->isAutoRepeat()) ctrlAlone_ = (event->modifiers() & ~Qt::ControlModifier) == Qt::NoModifier;
        return false;
    }
    ctrlAlone_ = false;
    if (k == Qt::Key_Shift || k == Qt::Key_Alt || k == Qt::Key_Meta || k == Qt::Key_AltGr || k == 0) return false;
    const std::string name = keyName(k, event->modifiers());
    if (keyHelp_) {
        if (name == "F1" || name == "Esc") {
            setKeyHelp(false);
            return true;
        }
        int kind = 0;
        KeyPlace place = placeOf(receiver, &kind);
        speech_.answer(ozn::keyHelp(name, place, kind));
        return true;
    }
    const std::pair<const char*, std::function<void()>> own[] = {
        {"F1", [this] { setKeyHelp(true); }},
        {"F3", [this] { speech_.repeat(); }},
        {"Shift+F3", [this] { speech_.older(); }},
        {"Ctrl+F3", [this] { speech_.newer(); }},
    };
    for (const auto& [key, run] : own)
        if (name == key) {
            run();
            return true;
        }
    if (name == "Ctrl+Up" || name == "Ctrl+Down" || name == "Ctrl+Right" || name == "Ctrl+Left") {
        SoundSettings s = settings_;
        const bool speed = name == "Ctrl+Up" || name == "Ctrl+Down";
        const int direction = name == "Ctrl+Up" || name == "Ctrl+Right" ? 1 : -1;
        const std::string said = speed ? stepSpeed(s, direction) : stepVolume(s, direction);
        setSettings(s);
        speech_.answer(said);  // at the new speed and volume
        return true;
    }
    if (name == "Esc" && hooks_.escape && hooks_.escape()) return true;
    // Self-voicing echoes what is typed into an input box, and what Backspace takes away.
    if (auto* edit = qobject_cast<QLineEdit*>(receiver)) {
        if (k == Qt::Key_Backspace && !edit->hasSelectedText() && edit->cursorPosition() > 0)
            say(typedCharacter(edit->text().mid(edit->cursorPosition() - 1, 1).toStdString()), Topic::Screen);
        else if (!event->text().isEmpty() && event->text().at(0).isPrint())
            say(typedCharacter(event->text().toStdString()), Topic::Screen);
    }
    return false;
}

void SpeechControl::focusIn(QWidget* widget, QFocusEvent* event) {
    // Only where the player moved within a window: a dialog's first button is
    // in what the dialog says as it opens, and a dialog or menu that closes
    // moves nobody.
    QPointer<QWidget> before = lastFocus_;
    lastFocus_ = widget;
    const Qt::FocusReason r = event->reason();
    if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason || r == Qt::MenuBarFocusReason) return;
    if (!before || before->window() != widget->window() || before == widget) return;
    if (auto* box = qobject_cast<QCheckBox*>(widget); box && r == Qt::MouseFocusReason)
        return;  // a click changes it: what it becomes is said then, not what it was
    else if (box)
        say((box->accessibleName().isEmpty() ? plainCaption(box->text()) : box->accessibleName().toStdString()) +
                (box->isChecked() ? " オン" : " オフ"),
            Topic::Screen);
    else if (auto* b = qobject_cast<QAbstractButton*>(widget))
        say(plainCaption(b->text()), Topic::Screen);
    else if (auto* d = qobject_cast<SoundDialog*>(widget->window()); d && !d->spoken(widget).empty())
        say(d->spoken(widget), Topic::Screen);
}

void SpeechControl::watchMenu(QMenu* menu) {
    auto lastSaid = std::make_shared<QPointer<QAction>>();
    connect(menu, &QMenu::aboutToShow, this, [this, menu, lastSaid] {
        *lastSaid = nullptr;
        openedMenu_ = menu->title();
        // Opened by the mouse, no item is highlighted: say the title alone.
        QTimer::singleShot(0, this, [this] {
            if (openedMenu_.isEmpty()) return;
            say(plainCaption(openedMenu_), Topic::Screen);
            openedMenu_.clear();
        });
    });
    auto chosen = std::make_shared<QPointer<QAction>>();
    connect(menu, &QMenu::triggered, this, [chosen](QAction* a) { *chosen = a; });
    connect(menu, &QMenu::hovered, this, [this, menu, lastSaid, chosen](QAction* a) {
        // Qt tells the parent menus of a submenu's item too: the submenu says it.
        if (!menu->actions().contains(a)) return;
        // Coming back from a submenu highlights its item again: said once is enough.
        if (*lastSaid == a && openedMenu_.isEmpty()) return;
        *lastSaid = a;
        *chosen = nullptr;
        std::string item = itemSpeech(a);
        if (!openedMenu_.isEmpty()) item = plainCaption(openedMenu_) + "\r\n" + item;
        openedMenu_.clear();
        // Its letter highlights an item and chooses it in the same key: then
        // what the choice says is all, not the state it had a moment before.
        QTimer::singleShot(0, this, [this, a = QPointer<QAction>(a), chosen, item] {
            if (a && *chosen != a) say(item, Topic::Screen);
        });
    });
}

std::string SpeechControl::itemSpeech(QAction* a) const {
    std::string item = menuItemSpeech(a->text().toStdString(), a->shortcut().toString(QKeySequence::NativeText).toStdString());
    if (a->isCheckable()) item += a->isChecked() ? " オン" : " オフ";
    if (a->menu()) item += " サブメニュー";
    return item;
}

void SpeechControl::makeAhead(const QList<QMenu*>& menus) {
    std::vector<std::string> texts = {"金額を入力して下さい。持ち金は", "キャンセル 再試行 続行", "はい いいえ", "OK", "買いました"};
    for (int kind = 1; kind <= kAllKinds; ++kind)
        for (const std::string& t : {focusSpeech(kind, ""), typedEntryPrompt(kind), kindName(kind), buttonCaption(kind)})
            texts.push_back(t);
    for (QMenu* m : menus) {
        texts.push_back(plainCaption(m->title()));
        for (QAction* a : m->actions())
            if (!a->isSeparator()) texts.push_back(itemSpeech(a));
    }
    speech_.prefetchIdle(std::move(texts));
}

OnOffMenu addOnOffMenu(QMenu* other, SpeechControl* control, const QString& caption, const QString& name, bool current,
                       std::function<void(bool)> chosen) {
    QMenu* menu = other->addMenu(caption);
    menu->setObjectName(name);
    auto* group = new QActionGroup(menu);
    OnOffMenu made{};
    for (bool on : {true, false}) {
        QAction* a = menu->addAction(on ? QStringLiteral("あり(&a)") : QStringLiteral("なし(&n)"));
        a->setObjectName(name + (on ? QStringLiteral("_on") : QStringLiteral("_off")));
        a->setCheckable(true);
        a->setChecked(current == on);
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, menu, [chosen, on] { chosen(on); });
        (on ? made.on : made.off) = a;
    }
    control->watchMenu(menu);
    return made;
}

void SpeechControl::openSoundDialog() {
    // Self-voicing names the dialog and the slider it opens on.
    say("音の設定\r\n" + speedText(settings_.speed), Topic::Dialog);
    SoundSettings kept = SoundDialog::edit(window_, settings_, [this](const SoundSettings& s, const std::string& said) {
        settings_ = s;
        apply();
        // A screen reader reads the slider's new value itself.
        if (!said.empty()) say(said, Topic::Screen);
    });
    setSettings(kept);
}

void SpeechControl::openHistoryWindow() {
    if (history_) history_->close();
    history_ = TextWindow::open(window_, QStringLiteral("speechHistory"), QStringLiteral("読み上げ履歴"),
                                qLines(speech_.history().lines()), [this](const std::string& line) { say(line, Topic::Focus); });
}

void SpeechControl::openKeyList() {
    TextWindow::open(window_, QStringLiteral("keyList"), QStringLiteral("キー一覧"), qLines(keyListLines()),
                     [this](const std::string& line) { say(line, Topic::Entry); });
}

}  // namespace ozn
