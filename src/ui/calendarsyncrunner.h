#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

// When the window syncs with her calendar server: a while after the first paint, and after each change of
// her first days, the cycle mode or the calendar settings, once SettleMs have passed without another
// change. One sync at a time, all of it in the event loop, so the window never waits; a change during a
// sync brings another one after it. A sync that fails leaves the change pending for the next one, and
// one the server failed is tried again after RetryMs.
class CalendarSyncRunner final : public QObject
{
    Q_OBJECT

public:
    static constexpr int SettleMs = 2000;
    // After the server could not be reached or refused (a network not up yet, a 5xx, a full server).
    static constexpr int RetryMs = 15 * 60 * 1000;

    // dataFolder ends in "/". The runner of the main window is the one instance().
    explicit CalendarSyncRunner(const QString &dataFolder, QObject *parent = nullptr);
    ~CalendarSyncRunner() override;

    // The main window's runner, or null when there is no main window.
    static CalendarSyncRunner *instance();

    // What a sync publishes may have changed: SettleMs later a sync follows, unless the data files are
    // then as the last successful sync left them (two small files read; nothing of the network).
    void inputsMayHaveChanged();

    // "前回の同期: 12月7日 23:50 カレンダーと同期しました (...)", or that there was none since the start.
    QString lastSyncText() const;

signals:
    // First days she marked in the calendar came home: the message says which.
    void firstDaysCameHome(const QString &message);

private:
    QByteArray currentInputs() const;
    void start();

    QString m_dataFolder;
    QTimer m_settle;
    QTimer m_retry;
    QPointer<QObject> m_running;
    bool m_again = false;
    QByteArray m_syncedInputs;
    QDateTime m_lastTime;
    QString m_lastLine;
};
