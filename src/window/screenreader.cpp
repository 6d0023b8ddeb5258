#include "window/screenreader.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace ozn {
namespace {
const QString kService = QStringLiteral("org.a11y.Bus");
const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kInterface = QStringLiteral("org.a11y.Status");
const QString kProperty = QStringLiteral("ScreenReaderEnabled");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
}  // namespace

ScreenReaderWatch::ScreenReaderWatch(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    // Asked without waiting: start-up never stalls on the bus.
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kInterface << kProperty;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError()) set(reply.value().variant().toBool());
        w->deleteLater();
    });
}

void ScreenReaderWatch::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == kInterface && changed.contains(kProperty)) set(changed.value(kProperty).toBool());
}

void ScreenReaderWatch::set(bool running) {
    if (running == running_) return;
    running_ = running;
    emit changed(running);
}

}  // namespace ozn
