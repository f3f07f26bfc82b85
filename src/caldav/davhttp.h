#pragma once

#include "caldavapi.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QSslConfiguration>
#include <QUrl>

#include <functional>
#include <utility>

// One HTTP answer as the calendar client needs it. failure is not empty when there is no usable answer
// (not reached, TLS refused, time-out, too large): one sentence she can act on.
struct DavReply
{
    int status = 0;
    QByteArray body;
    QString etag;
    QUrl url; // where the answer came from, after redirects
    QString failure;
};

using DavHeaders = QList<std::pair<QByteArray, QByteArray>>;

// WebDAV requests over HTTPS with Basic authentication, certificates checked against the system's trust
// store and CaFile, a deadline for each request and a cap on each reply. Redirects are followed (at
// most five, to https only); the password goes along only to the hosts of her server and her calendar,
// and to those the server names in its authenticated answers (iCloud keeps calendars on other hosts).
class DavHttp final : public QObject
{
    Q_OBJECT

public:
    // Replies above this many bytes are cut off and count as a failure: a calendar of a few hundred
    // events is well below it.
    static constexpr qint64 MaxReplyBytes = 8 * 1024 * 1024;

    DavHttp(const CalDavAccount &account, QObject *parent);

    // Empty when the account can be used; else why not (not https, CaFile unreadable).
    QString settingProblem() const { return m_settingProblem; }

    // A host named by the server's own answer, trusted with the password from now on.
    void trustHost(const QUrl &url) { m_trustedHosts.insert(url.host().toLower()); }

    void send(const QByteArray &verb, const QUrl &url, const DavHeaders &headers, const QByteArray &body,
              std::function<void(const DavReply &)> done);

    // The sentence for an HTTP status that is not a success.
    static QString statusLine(int status);

private:
    void sendHop(const QByteArray &verb, const QUrl &url, const DavHeaders &headers, const QByteArray &body, int hops,
                 std::function<void(const DavReply &)> done);

    QNetworkAccessManager m_network;
    QSslConfiguration m_tls;
    QUrl m_base;
    QSet<QString> m_trustedHosts;
    QByteArray m_authorization;
    int m_timeoutMs;
    QString m_settingProblem;
};
