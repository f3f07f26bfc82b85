#include "caldavjobs.h"

#include <QDateTime>
#include <QSet>

namespace {

const QByteArray EventQuery = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<c:calendar-query xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
    "<d:prop><d:getetag/><c:calendar-data/></d:prop>"
    "<c:filter><c:comp-filter name=\"VCALENDAR\"><c:comp-filter name=\"VEVENT\"/></c:comp-filter></c:filter>"
    "</c:calendar-query>\n");

bool sameContent(const RemoteEvent &remote, const PublishedEvent &event)
{
    return remote.allDay && remote.first == event.first && remote.last == event.last && remote.summary == event.title;
}

} // namespace

SyncJob::SyncJob(const SyncRequest &request, QObject *parent, std::function<void(const SyncResult &)> done)
    : QObject(parent)
    , m_request(request)
    , m_http(request.account, this)
    , m_done(std::move(done))
{
}

void SyncJob::start()
{
    if (!m_http.settingProblem().isEmpty()) {
        finish(SyncOutcome::BadSetting, m_http.settingProblem());
        return;
    }
    if (!m_request.account.calendar.trimmed().isEmpty()) {
        m_calendar = QUrl(m_request.account.calendar.trimmed());
        if (!m_calendar.isValid() || m_calendar.scheme() != u"https") {
            finish(
                SyncOutcome::BadSetting,
                QStringLiteral("カレンダーの URL は https:// で始めてください (%1)").arg(m_request.account.calendar));
            return;
        }
        list();
        return;
    }
    checkCalendar();
}

// No calendar chosen: the URL she typed is used when it is a calendar itself.
void SyncJob::checkCalendar()
{
    const QUrl typed(m_request.account.url.trimmed());
    m_http.send("PROPFIND", typed, {{"Depth", "0"}}, propfindBody(), [this](const DavReply &reply) {
        if (!reply.failure.isEmpty() || (reply.status != 207 && reply.status != 404)) {
            finish(SyncOutcome::ServerFailed,
                   reply.failure.isEmpty() ? DavHttp::statusLine(reply.status) : reply.failure);
            return;
        }
        bool calendar = false;
        try {
            const QList<DavResponse> responses =
                reply.status == 207 ? parseMultistatus(reply.body) : QList<DavResponse>();
            calendar = !responses.isEmpty() && responses.front().resourceTypes.contains(QStringLiteral("calendar"));
        } catch (const EDavXml &e) {
            finish(SyncOutcome::ServerFailed, unreadableReplyLine(e));
            return;
        }
        if (!calendar) {
            finish(SyncOutcome::BadSetting, QStringLiteral("カレンダーが選ばれていません。設定の「接続を確認」で"
                                                           "カレンダーを選んでください"));
            return;
        }
        m_calendar = reply.url;
        list();
    });
}

void SyncJob::list()
{
    m_http.send("REPORT", m_calendar, {{"Depth", "1"}}, EventQuery, [this](const DavReply &reply) {
        if (!reply.failure.isEmpty() || reply.status != 207) {
            finish(SyncOutcome::ServerFailed,
                   reply.failure.isEmpty() ? DavHttp::statusLine(reply.status) : reply.failure);
            return;
        }
        m_calendar = reply.url;
        try {
            listed(parseMultistatus(reply.body));
        } catch (const EDavXml &e) {
            finish(SyncOutcome::ServerFailed, unreadableReplyLine(e));
        }
    });
}

void SyncJob::listed(const QList<DavResponse> &responses)
{
    QHash<QString, Resource> ours;
    QSet<QDate> marked;
    for (const DavResponse &response : responses) {
        const QList<RemoteEvent> events = readCalendarResource(response.calendarData);
        if (events.isEmpty()) {
            continue; // the collection itself, or data nobody can read: never touched
        }
        const bool isOurs = std::all_of(events.cbegin(), events.cend(), [this](const RemoteEvent &event) {
            return event.uid.endsWith(m_request.uidSuffix) && event.uid.size() > m_request.uidSuffix.size();
        });
        if (isOurs) {
            ours.insert(events.front().uid, {m_calendar.resolved(QUrl(response.href)), response.etag, events.front()});
            continue;
        }
        for (const RemoteEvent &event : events) {
            if (event.allDay && event.first.isValid() && m_request.startWords.contains(event.summary.trimmed())) {
                marked.insert(event.first);
            }
        }
    }
    if (!m_cameHome) {
        m_cameHome = true;
        QList<QDate> days(marked.cbegin(), marked.cend());
        std::sort(days.begin(), days.end());
        const ComeHomeResult home = m_request.comeHome ? m_request.comeHome(days) : ComeHomeResult();
        m_result.comeHomeMessage = home.message;
        if (!home.failure.isEmpty()) {
            finish(SyncOutcome::LocalFailed, home.failure);
            return;
        }
        m_publish = home.publish;
    }
    applyChanges(ours);
}

void SyncJob::applyChanges(const QHash<QString, Resource> &ours)
{
    m_pending = 0;
    m_conflict = false;
    m_failure.clear();
    const QDateTime stamp = QDateTime::currentDateTimeUtc();
    QSet<QString> wanted;
    QString folder = m_calendar.toString(QUrl::FullyEncoded);
    if (!folder.endsWith(u'/')) {
        folder += u'/';
    }
    for (const PublishedEvent &event : std::as_const(m_publish)) {
        wanted.insert(event.uid);
        const auto found = ours.constFind(event.uid);
        if (found != ours.cend() && sameContent(found->event, event)) {
            continue;
        }
        DavHeaders headers;
        QUrl url;
        if (found != ours.cend()) {
            url = found->url;
            headers.append(std::pair<QByteArray, QByteArray>("If-Match", found->etag.toLatin1()));
        } else {
            url = QUrl::fromEncoded(folder.toLatin1() + QUrl::toPercentEncoding(event.uid, "@") + ".ics");
            headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
        }
        ++m_pending;
        m_http.send("PUT", url, headers, calendarResource(event, stamp),
                    [this](const DavReply &reply) { changeDone(reply, false); });
    }
    for (auto it = ours.cbegin(); it != ours.cend(); ++it) {
        if (wanted.contains(it.key())) {
            continue;
        }
        ++m_pending;
        m_http.send("DELETE", it->url, {{"If-Match", it->etag.toLatin1()}}, QByteArray(),
                    [this](const DavReply &reply) { changeDone(reply, true); });
    }
    if (m_pending == 0) {
        finish(SyncOutcome::Done, QString());
    }
}

void SyncJob::changeDone(const DavReply &reply, bool deletion)
{
    if (reply.status >= 200 && reply.status < 300) {
        ++(deletion ? m_result.deleted : m_result.sent);
    } else if (reply.status == 404 && deletion) {
        // Already gone: what the deletion wanted.
    } else if (reply.status == 412) {
        m_conflict = true;
    } else if (m_failure.isEmpty()) {
        m_failure = reply.failure.isEmpty() ? DavHttp::statusLine(reply.status) : reply.failure;
    }
    if (--m_pending > 0) {
        return;
    }
    if (!m_failure.isEmpty()) {
        finish(SyncOutcome::ServerFailed, m_failure);
    } else if (m_conflict && !m_retried) {
        // Changed meanwhile by another of her programs: fetch the calendar again and try once more.
        m_retried = true;
        list();
    } else if (m_conflict) {
        finish(SyncOutcome::ServerFailed, DavHttp::statusLine(412));
    } else {
        finish(SyncOutcome::Done, QString());
    }
}

void SyncJob::finish(SyncOutcome outcome, const QString &line)
{
    m_result.outcome = outcome;
    m_result.line = outcome == SyncOutcome::Done ? QStringLiteral("カレンダーと同期しました (送信 %1 件、削除 %2 件)")
                                                       .arg(m_result.sent)
                                                       .arg(m_result.deleted)
                                                 : line;
    const auto done = std::move(m_done);
    m_done = nullptr;
    deleteLater();
    if (done) {
        done(m_result);
    }
}
