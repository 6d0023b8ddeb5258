#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <optional>

class QMenu;

namespace ozn {

// Whether a screen reader runs: a known screen reader registered on the
// accessibility bus as an application (one started by hand leaves the
// desktop's flag unset). The desktop's "a screen reader runs" flag alone is
// trusted only for a few seconds, while a screen reader starting with it may
// still be registering: a flag left on with none behind it must not silence
// the game. Both are followed as they change. Without a session bus, or when
// nothing can be read, none runs.
class ScreenReaderWatch : public QObject {
    Q_OBJECT
public:
    explicit ScreenReaderWatch(QObject* parent = nullptr);
    bool running() const { return running_; }
    // Whether the first answer is in: both the flag and the registry were
    // asked (and, with the flag on, a screen reader registered or the grace
    // ran out), or the bound has passed (what is known by then holds).
    bool answered() const { return answered_; }
    // The applications registered on the accessibility bus, by name.
    void setRegistered(const QStringList& applications);
    static bool isScreenReader(const QString& application);
    // The desktop's flag, as read from the bus (public for tests).
    void setFlag(bool on);
    // How long the flag alone counts as a screen reader.
    void setGrace(int ms) { graceMs_ = ms; }
    static constexpr int kGraceMs = 3000;

signals:
    void changed(bool running);
    // Once, when answered() becomes true (after `changed`, if it changes).
    void firstAnswer();

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void update();
    void connectRegistry(const QString& address);
    void pollRegistry();
    void partAnswered(bool& part);
    void settle();
    bool flag_ = false, registered_ = false, running_ = false;
    bool flagAnswered_ = false, registryAnswered_ = false, answered_ = false;
    QTimer bound_;
    QTimer grace_;  // runs while the flag alone is trusted
    int graceMs_ = kGraceMs;
    std::optional<QDBusConnection> a11y_;
    QTimer poll_;
    bool polling_ = false;  // a round of questions is still out
};

// スクリーンリーダー連携: follow the desktop, or force either speech mode.
enum class ScreenReaderSetting { Auto, On, Off };

// The player's choice, kept in their settings, with its menu; `apply` hears
// whether the game is in screen-reader mode, at once and on every change.
class ScreenReaderChoice : public QObject {
public:
    ScreenReaderChoice(QObject* parent, std::function<void(bool)> apply);
    // The submenu of `other` with the three choices.
    QMenu* buildMenu(QMenu* other);
    void setRunning(bool running);
    void setSetting(ScreenReaderSetting setting);
    ScreenReaderSetting setting() const { return setting_; }
    bool mode() const;

private:
    std::function<void(bool)> apply_;
    ScreenReaderSetting setting_ = ScreenReaderSetting::Auto;
    bool running_ = false;
    QMenu* menu_ = nullptr;
};

}  // namespace ozn
