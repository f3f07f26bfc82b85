#include "desktopnotification.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// The "image-data" hint: width, height, row stride, alpha, bits per sample, channels, bytes.
struct ImageData
{
    int width = 0;
    int height = 0;
    QByteArray rgba;
};

QDBusArgument &operator<<(QDBusArgument &argument, const ImageData &image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.width * 4 << true << 8 << 4 << image.rgba;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ImageData &image)
{
    int stride = 0;
    bool alpha = false;
    int bits = 0;
    int channels = 0;
    argument.beginStructure();
    argument >> image.width >> image.height >> stride >> alpha >> bits >> channels >> image.rgba;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(ImageData)

DesktopNotification::DesktopNotification(QObject *parent)
    : QObject(parent)
{
}

void DesktopNotification::show(const Content &content)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString reason = bus.lastError().message();
        QMetaObject::invokeMethod(
            this, [this, reason] { emit failed(QStringLiteral("no session bus: ") + reason); }, Qt::QueuedConnection);
        return;
    }
    // The signals come for every notification of the session; only ours count (see m_id).
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));

    const QStringList &actions = content.actions;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), content.desktopEntry);
    if (!content.imageSize.isEmpty()) {
        qDBusRegisterMetaType<ImageData>();
        hints.insert(
            QStringLiteral("image-data"),
            QVariant::fromValue(ImageData{content.imageSize.width(), content.imageSize.height(), content.imageRgba}));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // expire_timeout -1: the server's own default.
    call << content.appName << uint(0) << content.appIcon << content.summary << content.body << actions << hints
         << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            emit failed(reply.error().name() + QStringLiteral(": ") + reply.error().message());
            return;
        }
        m_id = reply.value();
        m_idKnown = true;
        emit shown();
    });
}

void DesktopNotification::onActionInvoked(uint id, const QString &key)
{
    if (m_idKnown && id == m_id) {
        emit actionInvoked(key);
    }
}

void DesktopNotification::onClosed(uint id, uint)
{
    if (m_idKnown && id == m_id) {
        emit closed();
    }
}
