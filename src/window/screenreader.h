#pragma once
#include <QObject>
#include <QVariantMap>

namespace ozn {

// Follows the desktop's "a screen reader runs" flag on the accessibility
// bus. Without a session bus, or when the flag cannot be read, it reports
// that none runs.
class ScreenReaderWatch : public QObject {
    Q_OBJECT
public:
    explicit ScreenReaderWatch(QObject* parent = nullptr);
    bool running() const { return running_; }

signals:
    void changed(bool running);

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void set(bool running);
    bool running_ = false;
};

}  // namespace ozn
