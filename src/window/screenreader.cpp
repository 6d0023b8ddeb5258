#include "window/screenreader.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusObjectPath>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <memory>
#include <utility>

#include "window/qtext.h"

namespace ozn {
namespace {
const QString kService = QStringLiteral("org.a11y.Bus");
const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kInterface = QStringLiteral("org.a11y.Status");
const QString kProperty = QStringLiteral("ScreenReaderEnabled");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
constexpr int kPollMs = 2000;
constexpr int kFirstAnswerMs = 1000;
}  // namespace

ScreenReaderWatch::ScreenReaderWatch(QObject* parent) : QObject(parent) {
    grace_.setSingleShot(true);
    connect(&grace_, &QTimer::timeout, this, [this] {
        update();
        if (flagAnswered_ && registryAnswered_) settle();
    });
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        answered_ = true;  // nothing to ask: none runs
        return;
    }
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, [this] {
        if (!grace_.isActive()) settle();  // else the grace's end answers
    });
    bound_.start(kFirstAnswerMs);
    bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    // Asked without waiting: start-up never stalls on the bus.
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kInterface << kProperty;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError()) setFlag(reply.value().variant().toBool());
        w->deleteLater();
        partAnswered(flagAnswered_);
    });
    QDBusMessage address = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetAddress"));
    auto* found = new QDBusPendingCallWatcher(bus.asyncCall(address, 2000), this);
    connect(found, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QString> reply = *w;
        if (!reply.isError()) connectRegistry(reply.value());
        else partAnswered(registryAnswered_);
        w->deleteLater();
    });
}

void ScreenReaderWatch::connectRegistry(const QString& address) {
    QDBusConnection c = QDBusConnection::connectToBus(address, QStringLiteral("ozn-screen-reader-watch"));
    if (!c.isConnected()) return partAnswered(registryAnswered_);
    a11y_ = c;
    connect(&poll_, &QTimer::timeout, this, &ScreenReaderWatch::pollRegistry);
    poll_.start(kPollMs);
    pollRegistry();
}

// The registry's children are the applications; each is asked its name.
void ScreenReaderWatch::pollRegistry() {
    if (!a11y_ || polling_) return;
    polling_ = true;
    QDBusMessage children = QDBusMessage::createMethodCall(kRegistry, kRoot, kAccessible, QStringLiteral("GetChildren"));
    auto* watcher = new QDBusPendingCallWatcher(a11y_->asyncCall(children, 1500), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            polling_ = false;
            return partAnswered(registryAnswered_);
        }
        QList<std::pair<QString, QDBusObjectPath>> apps;
        const QDBusArgument arg = reply.arguments().first().value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QString service;
            QDBusObjectPath path;
            arg.beginStructure();
            arg >> service >> path;
            arg.endStructure();
            apps.append({service, path});
        }
        arg.endArray();
        auto names = std::make_shared<QStringList>();
        auto left = std::make_shared<int>(static_cast<int>(apps.size()));
        if (*left == 0) {
            polling_ = false;
            setRegistered({});
            partAnswered(registryAnswered_);
        }
        for (const auto& [service, path] : apps) {
            QDBusMessage get = QDBusMessage::createMethodCall(service, path.path(), kProperties, QStringLiteral("Get"));
            get << kAccessible << QStringLiteral("Name");
            auto* ask = new QDBusPendingCallWatcher(a11y_->asyncCall(get, 1500), this);
            connect(ask, &QDBusPendingCallWatcher::finished, this, [this, names, left](QDBusPendingCallWatcher* a) {
                QDBusPendingReply<QDBusVariant> name = *a;
                if (!name.isError()) names->append(name.value().variant().toString());
                a->deleteLater();
                if (--*left == 0) {
                    polling_ = false;
                    setRegistered(*names);
                    partAnswered(registryAnswered_);
                }
            });
        }
    });
}

void ScreenReaderWatch::partAnswered(bool& part) {
    part = true;
    // A flag with nobody registered yet is answered when the grace ends.
    if (flagAnswered_ && registryAnswered_ && !(grace_.isActive() && !registered_)) settle();
}

void ScreenReaderWatch::settle() {
    if (answered_) return;
    answered_ = true;
    bound_.stop();
    emit firstAnswer();
}

bool ScreenReaderWatch::isScreenReader(const QString& application) {
    return application.compare(QLatin1String("orca"), Qt::CaseInsensitive) == 0;
}

void ScreenReaderWatch::setRegistered(const QStringList& applications) {
    registered_ = std::any_of(applications.begin(), applications.end(), isScreenReader);
    update();
}

void ScreenReaderWatch::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == kInterface && changed.contains(kProperty)) setFlag(changed.value(kProperty).toBool());
}

void ScreenReaderWatch::setFlag(bool on) {
    if (on && !flag_) grace_.start(graceMs_);
    if (!on) grace_.stop();
    flag_ = on;
    update();
}

void ScreenReaderWatch::update() {
    const bool running = registered_ || (flag_ && grace_.isActive());
    if (running == running_) return;
    running_ = running;
    emit changed(running);
}

namespace {
const QString kSettingKey = QStringLiteral("speech/screenReader");
const char* const kSettingValues[] = {"auto", "on", "off"};
}  // namespace

ScreenReaderChoice::ScreenReaderChoice(QObject* parent, std::function<void(bool)> apply)
    : QObject(parent), apply_(std::move(apply)) {
    const QString stored = userSettings().value(kSettingKey).toString();
    for (int i = 0; i < 3; ++i)
        if (stored == QLatin1String(kSettingValues[i])) setting_ = static_cast<ScreenReaderSetting>(i);
    apply_(mode());
}

QMenu* ScreenReaderChoice::buildMenu(QMenu* other) {
    menu_ = other->addMenu(QStringLiteral("スクリーンリーダー連携(&s)"));
    menu_->setObjectName(QStringLiteral("mnuscreenreader"));
    auto* group = new QActionGroup(menu_);
    const QString captions[] = {QStringLiteral("自動(&a)"), QStringLiteral("使う(&u)"), QStringLiteral("使わない(&n)")};
    for (int i = 0; i < 3; ++i) {
        QAction* a = menu_->addAction(captions[i]);
        a->setObjectName(QStringLiteral("mnuscreenreader_%1").arg(QLatin1String(kSettingValues[i])));
        a->setCheckable(true);
        a->setChecked(static_cast<int>(setting_) == i);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { setSetting(static_cast<ScreenReaderSetting>(i)); });
    }
    return menu_;
}

void ScreenReaderChoice::setRunning(bool running) {
    running_ = running;
    apply_(mode());
}

void ScreenReaderChoice::setSetting(ScreenReaderSetting setting) {
    setting_ = setting;
    const QLatin1String value(kSettingValues[static_cast<int>(setting)]);
    userSettings().setValue(kSettingKey, value);
    if (menu_)
        if (auto* a = menu_->findChild<QAction*>(QStringLiteral("mnuscreenreader_%1").arg(value))) a->setChecked(true);
    apply_(mode());
}

bool ScreenReaderChoice::mode() const {
    return setting_ == ScreenReaderSetting::On || (setting_ == ScreenReaderSetting::Auto && running_);
}

}  // namespace ozn
