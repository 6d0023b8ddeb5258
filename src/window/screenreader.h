#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <optional>

namespace ozn {

// Whether a screen reader runs: the desktop's "a screen reader runs" flag on
// the accessibility bus, or a known screen reader registered there as an
// application (one started by hand leaves the flag unset). Both are followed
// as they change. Without a session bus, or when nothing can be read, none
// runs.
class ScreenReaderWatch : public QObject {
    Q_OBJECT
public:
    explicit ScreenReaderWatch(QObject* parent = nullptr);
    bool running() const { return running_; }
    // Whether the first answer is in: both the flag and the registry were
    // asked, or about a second has passed (what is known by then holds).
    bool answered() const { return answered_; }
    // The applications registered on the accessibility bus, by name.
    void setRegistered(const QStringList& applications);
    static bool isScreenReader(const QString& application);

signals:
    void changed(bool running);
    // Once, when answered() becomes true (after `changed`, if it changes).
    void firstAnswer();

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void setFlag(bool on);
    void update();
    void connectRegistry(const QString& address);
    void pollRegistry();
    void partAnswered(bool& part);
    void settle();
    bool flag_ = false, registered_ = false, running_ = false;
    bool flagAnswered_ = false, registryAnswered_ = false, answered_ = false;
    QTimer bound_;
    std::optional<QDBusConnection> a11y_;
    QTimer poll_;
    bool polling_ = false;  // a round of questions is still out
};

}  // namespace ozn
