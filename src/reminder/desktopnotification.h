#pragma once

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

// One notification through the freedesktop Notifications service on the session bus. Every call is
// asynchronous; the outcome arrives as signals from the event loop.
class DesktopNotification final : public QObject
{
    Q_OBJECT

public:
    struct Content
    {
        QString appName;
        QString appIcon;      // an icon name of the theme
        QString desktopEntry; // the menu entry's id, without ".desktop"
        QString summary;
        QString body;
        QStringList actions; // a key and its button's label for each action, in the order shown
        QSize imageSize;     // the picture as 8-bit RGBA rows (hint "image-data"); empty: none
        QByteArray imageRgba;
    };

    explicit DesktopNotification(QObject *parent = nullptr);

    // Sends Notify. failed() when there is no session bus or the service does not answer.
    void show(const Content &content);

signals:
    void shown();
    void failed(const QString &reason);
    void actionInvoked(const QString &key);
    void closed();

private slots:
    void onActionInvoked(uint id, const QString &key);
    void onClosed(uint id, uint reason);

private:
    uint m_id = 0;
    bool m_idKnown = false;
};
