#include "mailkeyring.h"

#include <qt6keychain/keychain.h>

#include <QObject>

namespace MailKeyring {

QString serviceName()
{
    return QStringLiteral("Easy VELUNA");
}

QString itemKey(const QString &account, const QString &server)
{
    return account + QLatin1Char('@') + server;
}

void readPassword(const QString &account, const QString &server, QObject *context,
                  std::function<void(const QString &password)> done)
{
    // Never parented to the window: QtKeychain's answer from libsecret refers to the job, which must
    // therefore live until it has answered. It deletes itself then.
    auto *job = new QKeychain::ReadPasswordJob(serviceName());
    job->setAutoDelete(true);
    job->setKey(itemKey(account, server));
    QObject::connect(job, &QKeychain::Job::finished, context, [done = std::move(done)](QKeychain::Job *finished) {
        const auto *read = static_cast<QKeychain::ReadPasswordJob *>(finished);
        done(read->error() == QKeychain::NoError ? read->textData() : QString());
    });
    job->start();
}

void storePassword(const QString &account, const QString &server, const QString &password,
                   std::function<void(bool inKeyring, const QString &logLine)> done)
{
    if (password.isEmpty()) {
        done(false, QString());
        return;
    }
    auto *job = new QKeychain::WritePasswordJob(serviceName());
    job->setAutoDelete(true);
    job->setKey(itemKey(account, server));
    job->setTextData(password);
    QObject::connect(job, &QKeychain::Job::finished, job, [done = std::move(done)](QKeychain::Job *finished) {
        if (finished->error() == QKeychain::NoError) {
            done(true, QString());
            return;
        }
        // The service's own words, on one line: "Cannot autolaunch D-Bus without X11 $DISPLAY".
        const QString reason = finished->errorString().simplified();
        done(false,
             QStringLiteral("キーリングを使えないため、パスワードは setting.ini に保存しました（%1）").arg(reason));
    });
    job->start();
}

} // namespace MailKeyring
