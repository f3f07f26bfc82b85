#pragma once

#include "caldavapi.h"
#include "davhttp.h"
#include "davxml.h"
#include "icalevents.h"

#include <QHash>
#include <QObject>
#include <QUrl>

#include <functional>

// The PROPFIND body that asks for everything discovery reads.
QByteArray propfindBody();
// "サーバーの応答を読めません (...)".
QString unreadableReplyLine(const EDavXml &e);

// Finds her calendars: /.well-known/caldav (RFC 6764) when she typed the server alone, then
// current-user-principal and calendar-home-set (RFC 4791), then the calendars of the home that hold
// events. A URL that is itself a calendar is the one calendar.
class DiscoveryJob final : public QObject
{
    Q_OBJECT

public:
    DiscoveryJob(const CalDavAccount &account, QObject *parent, std::function<void(const DiscoveryResult &)> done);
    void start();

private:
    void propfind(const QUrl &url, int depth, std::function<void(const QList<DavResponse> &, const QUrl &)> next,
                  std::function<void(const QString &line, int status)> failed = {});
    void examine(const QList<DavResponse> &responses, const QUrl &url, bool principalAsked);
    void listHome(const QUrl &home);
    void finish(bool ok, const QString &line, const QList<CalDavCalendar> &calendars = {});

    CalDavAccount m_account;
    DavHttp m_http;
    std::function<void(const DiscoveryResult &)> m_done;
};

// One sync: lists the calendar's events, hands the first days marked elsewhere to the program, then
// makes the program's own events what it asks for (PUT with If-None-Match: * or If-Match, DELETE with
// If-Match). A 412 lists again and tries once more.
class SyncJob final : public QObject
{
    Q_OBJECT

public:
    SyncJob(const SyncRequest &request, QObject *parent, std::function<void(const SyncResult &)> done);
    void start();

private:
    struct Resource
    {
        QUrl url;
        QString etag;
        RemoteEvent event;
    };

    void checkCalendar();
    void list();
    void listed(const QList<DavResponse> &responses);
    void applyChanges(const QHash<QString, Resource> &ours);
    void changeDone(const DavReply &reply, bool deletion);
    void finish(SyncOutcome outcome, const QString &line);

    SyncRequest m_request;
    DavHttp m_http;
    QUrl m_calendar;
    std::function<void(const SyncResult &)> m_done;
    bool m_cameHome = false;
    bool m_retried = false;
    QList<PublishedEvent> m_publish;
    SyncResult m_result;
    int m_pending = 0;
    bool m_conflict = false;
    QString m_failure;
};
