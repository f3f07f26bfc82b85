#include "davhttp.h"

#include <QFile>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QTimer>

#include <memory>

namespace {

constexpr int MaxRedirects = 5;

QString networkFailure(QNetworkReply *reply, const QString &host, bool timedOut, bool tooLarge, int timeoutMs)
{
    if (timedOut) {
        return QStringLiteral("サーバー %1 が %2 秒以内に応答しませんでした。次の同期でもう一度試します")
            .arg(host)
            .arg(timeoutMs / 1000);
    }
    if (tooLarge) {
        return QStringLiteral("サーバー %1 の応答が大きすぎます (%2 MiB を超えています)")
            .arg(host)
            .arg(DavHttp::MaxReplyBytes / (1024 * 1024));
    }
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("サーバー %1 が見つかりません。URL とネットワークの接続を確かめてください").arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("サーバー %1 に接続できません。URL のポート番号を確かめてください").arg(host);
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("サーバー %1 の証明書を確認できません (%2)。自宅のサーバーなら、その認証局の証明書を "
                              "CaFile に指定してください")
            .arg(host, reply->errorString());
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("サーバー %1 が応答の途中で接続を切りました。次の同期でもう一度試します").arg(host);
    default:
        return QStringLiteral("サーバー %1 と通信できません (%2)。次の同期でもう一度試します")
            .arg(host, reply->errorString());
    }
}

} // namespace

DavHttp::DavHttp(const CalDavAccount &account, QObject *parent)
    : QObject(parent)
    , m_tls(QSslConfiguration::defaultConfiguration())
    , m_base(QUrl(account.url.trimmed()))
    , m_timeoutMs(account.timeoutMs)
{
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_authorization = "Basic " + (account.user + u':' + account.password).toUtf8().toBase64();
    m_trustedHosts = {m_base.host().toLower(), QUrl(account.calendar.trimmed()).host().toLower()};
    if (!m_base.isValid() || m_base.scheme() != u"https" || m_base.host().isEmpty()) {
        m_settingProblem = QStringLiteral("サーバーの URL は https:// で始めてください (%1)").arg(account.url);
    } else if (account.user.isEmpty()) {
        m_settingProblem = QStringLiteral("ユーザー名が設定されていません");
    } else if (!account.caFile.isEmpty()) {
        QFile file(account.caFile);
        const QList<QSslCertificate> authorities = file.open(QIODevice::ReadOnly)
                                                       ? QSslCertificate::fromData(file.readAll(), QSsl::Pem)
                                                       : QList<QSslCertificate>();
        if (authorities.isEmpty()) {
            m_settingProblem =
                QStringLiteral("CaFile %1 から認証局の証明書 (PEM) を読み込めません").arg(account.caFile);
        }
        m_tls.addCaCertificates(authorities);
    }
}

QString DavHttp::statusLine(int status)
{
    if (status == 401 || status == 403) {
        return QStringLiteral("ユーザー名かパスワードが違います");
    }
    if (status == 404) {
        return QStringLiteral(
            "カレンダーが見つかりません (404)。設定で「接続を確認」を押し、カレンダーを選び直してください");
    }
    if (status == 412) {
        return QStringLiteral("カレンダーがほかのプログラムから同時に変更されました。次の同期でもう一度試します");
    }
    if (status == 507) {
        return QStringLiteral("サーバーの容量が足りません (507)。空きを作れば次の同期で送ります");
    }
    if (status >= 500) {
        return QStringLiteral("サーバーでエラーが起きました (%1)。次の同期でもう一度試します").arg(status);
    }
    return QStringLiteral("サーバーが要求を受け付けませんでした (%1)").arg(status);
}

void DavHttp::send(const QByteArray &verb, const QUrl &url, const DavHeaders &headers, const QByteArray &body,
                   std::function<void(const DavReply &)> done)
{
    sendHop(verb, url, headers, body, 0, std::move(done));
}

void DavHttp::sendHop(const QByteArray &verb, const QUrl &url, const DavHeaders &headers, const QByteArray &body,
                      int hops, std::function<void(const DavReply &)> done)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(m_tls);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (m_trustedHosts.contains(url.host().toLower())) {
        request.setRawHeader("Authorization", m_authorization);
    }
    for (const auto &[name, value] : headers) {
        request.setRawHeader(name, value);
    }
    if (!body.isEmpty()) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          verb == "PUT" ? QByteArrayLiteral("text/calendar; charset=utf-8")
                                        : QByteArrayLiteral("application/xml; charset=utf-8"));
    }
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);
    struct State
    {
        QByteArray body;
        bool timedOut = false;
        bool tooLarge = false;
    };
    auto state = std::make_shared<State>();
    // From sending to the end of the reply: a server that accepts and then says nothing, or trickles,
    // is given up on all the same.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply, state] {
        state->timedOut = true;
        reply->abort();
    });
    deadline->start(m_timeoutMs);
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, state] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > MaxReplyBytes) {
            state->tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, state] {
        if (state->body.size() + reply->bytesAvailable() > MaxReplyBytes) {
            state->tooLarge = true;
            reply->abort();
            return;
        }
        state->body += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, state, verb, url, headers, body, hops, done = std::move(done)]() mutable {
                reply->deleteLater();
                DavReply answer;
                answer.url = url;
                answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                if (!state->timedOut && !state->tooLarge && reply->isReadable()) {
                    state->body += reply->readAll();
                }
                if (state->timedOut || state->tooLarge || state->body.size() > MaxReplyBytes ||
                    (answer.status == 0 && reply->error() != QNetworkReply::NoError)) {
                    answer.status = 0;
                    answer.failure = networkFailure(reply, url.host(), state->timedOut,
                                                    state->tooLarge || state->body.size() > MaxReplyBytes, m_timeoutMs);
                    done(answer);
                    return;
                }
                if (answer.status == 301 || answer.status == 302 || answer.status == 307 || answer.status == 308) {
                    const QUrl next = url.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
                    if (hops < MaxRedirects && next.isValid() && next.scheme() == u"https" && next != url) {
                        sendHop(verb, next, headers, body, hops + 1, std::move(done));
                        return;
                    }
                }
                answer.body = std::move(state->body);
                answer.etag = QString::fromLatin1(reply->rawHeader("ETag"));
                done(answer);
            });
}
