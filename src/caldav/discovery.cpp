#include "caldavjobs.h"

QByteArray propfindBody()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\"><d:prop>"
                             "<d:resourcetype/><d:displayname/><d:current-user-principal/>"
                             "<c:calendar-home-set/><c:supported-calendar-component-set/>"
                             "</d:prop></d:propfind>\n");
}

QString unreadableReplyLine(const EDavXml &e)
{
    return QStringLiteral("サーバーの応答を読めません (%1)。カレンダーのサーバーの URL か確かめてください")
        .arg(QString::fromUtf8(e.what()));
}

DiscoveryJob::DiscoveryJob(const CalDavAccount &account, QObject *parent,
                           std::function<void(const DiscoveryResult &)> done)
    : QObject(parent)
    , m_account(account)
    , m_http(account, this)
    , m_done(std::move(done))
{
}

void DiscoveryJob::start()
{
    if (!m_http.settingProblem().isEmpty()) {
        finish(false, m_http.settingProblem());
        return;
    }
    const QUrl typed(m_account.url.trimmed());
    if (typed.path().isEmpty() || typed.path() == u"/") {
        // The server alone: its well-known address leads to the principal; a server without one may
        // still answer at its root.
        propfind(
            typed.resolved(QUrl(QStringLiteral("/.well-known/caldav"))), 0,
            [this](const QList<DavResponse> &responses, const QUrl &url) { examine(responses, url, false); },
            [this, typed](const QString &line, int status) {
                if (status == 0 || status == 401 || status == 403) {
                    finish(false, line);
                    return;
                }
                propfind(typed, 0, [this](const QList<DavResponse> &responses, const QUrl &url) {
                    examine(responses, url, false);
                });
            });
        return;
    }
    propfind(typed, 0,
             [this](const QList<DavResponse> &responses, const QUrl &url) { examine(responses, url, false); });
}

void DiscoveryJob::propfind(const QUrl &url, int depth,
                            std::function<void(const QList<DavResponse> &, const QUrl &)> next,
                            std::function<void(const QString &line, int status)> failed)
{
    const DavHeaders headers = {{"Depth", QByteArray::number(depth)}};
    m_http.send("PROPFIND", url, headers, propfindBody(),
                [this, next = std::move(next), failed = std::move(failed)](const DavReply &reply) {
                    QString line = reply.failure;
                    if (line.isEmpty() && reply.status != 207) {
                        line = reply.status == 404 ? QStringLiteral("URL %1 が見つかりません (404)。サーバーの URL "
                                                                    "を確かめてください")
                                                         .arg(reply.url.toString())
                                                   : DavHttp::statusLine(reply.status);
                    }
                    if (line.isEmpty()) {
                        try {
                            next(parseMultistatus(reply.body), reply.url);
                            return;
                        } catch (const EDavXml &e) {
                            line = unreadableReplyLine(e);
                        }
                    }
                    if (failed) {
                        failed(line, reply.status);
                    } else {
                        finish(false, line);
                    }
                });
}

void DiscoveryJob::examine(const QList<DavResponse> &responses, const QUrl &url, bool principalAsked)
{
    const DavResponse self = responses.isEmpty() ? DavResponse() : responses.front();
    if (self.resourceTypes.contains(QStringLiteral("calendar"))) {
        const QString name = self.displayName.isEmpty() ? url.fileName() : self.displayName;
        finish(true, QStringLiteral("接続できました: 1 個のカレンダー"), {{url.toString(), name}});
        return;
    }
    if (!self.calendarHome.isEmpty()) {
        const QUrl home = url.resolved(QUrl(self.calendarHome));
        m_http.trustHost(home);
        listHome(home);
        return;
    }
    if (!self.principal.isEmpty() && !principalAsked) {
        const QUrl principal = url.resolved(QUrl(self.principal));
        m_http.trustHost(principal);
        propfind(principal, 0, [this](const QList<DavResponse> &answer, const QUrl &at) { examine(answer, at, true); });
        return;
    }
    finish(false,
           QStringLiteral("この URL ではカレンダーを見つけられません。カレンダーの URL を直接入れてみてください"));
}

void DiscoveryJob::listHome(const QUrl &home)
{
    propfind(home, 1, [this](const QList<DavResponse> &responses, const QUrl &url) {
        QList<CalDavCalendar> calendars;
        for (const DavResponse &response : responses) {
            const bool holdsEvents =
                !response.hasComponentSet || response.components.contains(QStringLiteral("VEVENT"));
            if (response.resourceTypes.contains(QStringLiteral("calendar")) && holdsEvents) {
                const QUrl at = url.resolved(QUrl(response.href));
                const QString path = at.path().endsWith(u'/') ? at.path().chopped(1) : at.path();
                calendars.append(
                    {at.toString(), response.displayName.isEmpty() ? path.section(u'/', -1) : response.displayName});
            }
        }
        if (calendars.isEmpty()) {
            finish(false, QStringLiteral("接続できましたが、予定を入れられるカレンダーがありません。"
                                         "カレンダーのアプリでひとつ作ってください"));
            return;
        }
        finish(true, QStringLiteral("接続できました: %1 個のカレンダー").arg(calendars.size()), calendars);
    });
}

void DiscoveryJob::finish(bool ok, const QString &line, const QList<CalDavCalendar> &calendars)
{
    const auto done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    if (done) {
        done({ok, line, calendars});
    }
}
