#pragma once
// What the player hears, as far as the window is concerned: the sound
// settings and their keys, stopping the speech, the message history, key
// help, menu and button speech, the echo of typed characters. The logic lives
// in the sound library; this is the glue to Qt's events.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "core/interfaces.h"
#include "sound/keytable.h"
#include "sound/soundsettings.h"

class QAction;
class QFocusEvent;
class QKeyEvent;
class QMenu;
class QWidget;

namespace ozn {

class VoiceDispatcher;

class SpeechControl : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Puts music and effect volumes (and anything else outside speech) in force.
        std::function<void(const SoundSettings&)> applySound;
        // Escape: true when it was the game's to take (the start music).
        std::function<bool()> escape;
    };
    SpeechControl(QWidget* window, VoiceDispatcher& speech, Hooks hooks);
    ~SpeechControl() override;

    const SoundSettings& settings() const { return settings_; }
    // Kept in the user's settings and put in force at once.
    void setSettings(const SoundSettings& s);
    bool keyHelp() const { return keyHelp_; }
    void setKeyHelp(bool on);

    void say(const std::string& text, Topic topic);
    // Self-voicing of a menu: its title as it opens, each item as it is
    // highlighted, with its state or that it opens a submenu.
    void watchMenu(QMenu* menu);
    // Has the menus' items and these fixed texts made ahead in idle time.
    void makeAhead(const QList<QMenu*>& menus);

    // その他 → 音の設定, 読み上げ履歴; ヘルプ → キー一覧.
    void openSoundDialog();
    void openHistoryWindow();
    void openKeyList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool key(QWidget* receiver, QKeyEvent* event);
    void focusIn(QWidget* widget, QFocusEvent* event);
    void apply();
    std::string itemSpeech(QAction* a) const;

    QWidget* window_;
    VoiceDispatcher& speech_;
    Hooks hooks_;
    SoundSettings settings_;
    bool keyHelp_ = false;
    bool ctrlAlone_ = false;  // Ctrl is down and nothing else was pressed with it
    QString openedMenu_;      // a menu title still to be said with its first item
    QPointer<QWidget> history_;
    QPointer<QWidget> lastFocus_;
    struct Seen {
        const void* event = nullptr;
        int type = 0, key = 0;
        quint64 timestamp = 0;
        bool operator==(const Seen&) const = default;
    };
    Seen seen_;  // the key event last taken, and where
    QPointer<QWidget> seenBy_;
};

// A submenu of あり and なし, with `current` checked; `chosen` runs with the
// player's choice. The menu is spoken as the others are.
struct OnOffMenu {
    QAction* on;
    QAction* off;
};
OnOffMenu addOnOffMenu(QMenu* other, SpeechControl* control, const QString& caption, const QString& name, bool current,
                       std::function<void(bool)> chosen);

// The name of a key as the key table knows it: "F2", "Ctrl+Up", "Shift+PgDown".
std::string keyName(int key, Qt::KeyboardModifiers mods);

}  // namespace ozn
