#pragma once

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

// aiosmtpd in a child process (smtp_server.py, its path given by SMTP_SERVER_SCRIPT at build time):
// real replies, AUTH LOGIN checked against one account, and one JSON record for each thing received.
// The destructor ends the server. `options` selects TLS: {"--mode", "tls" or "starttls", "--cert", PEM,
// "--key", PEM}.
class RealSmtpServer final
{
public:
    RealSmtpServer(const QString &user, const QString &password, const QStringList &options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{QStringLiteral(SMTP_SERVER_SCRIPT), QStringLiteral("--user"), user,
                                    QStringLiteral("--password"), password} +
                            options);
        m_port = nextRecord().value(QStringLiteral("port")).toInt();
    }
    ~RealSmtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    RealSmtpServer(const RealSmtpServer &) = delete;
    RealSmtpServer &operator=(const RealSmtpServer &) = delete;

    // 0 when the server did not come up.
    int port() const { return m_port; }

    // The next record ({"helo": ...}, {"auth": [...]}, {"mail_from": ..., "data": ...}), waiting at most
    // timeoutMs; empty when none came.
    QJsonObject nextRecord(int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
        }
        if (!m_process.canReadLine()) {
            return {};
        }
        return QJsonDocument::fromJson(m_process.readLine()).object();
    }

    // Skips records until one that has `key`; empty when none came in time.
    QJsonObject recordWith(const QString &key, int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const QJsonObject record = nextRecord(int(qMax<qint64>(0, deadline.remainingTime())));
            if (record.isEmpty() || record.contains(key)) {
                return record;
            }
        }
    }

private:
    QProcess m_process;
    int m_port = 0;
};
