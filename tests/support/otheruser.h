#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

// A second local user to plant files that another person on the machine could have made. Only root can
// create one (useradd) or hand files to it; uid() is then its id and created() tells whether this run
// added it (and so removes it again when it goes). Otherwise ok() is false and reason() says why, for
// the caller's QSKIP.
class OtherUser final
{
public:
    OtherUser()
    {
        if (::geteuid() != 0) {
            m_reason = QStringLiteral("planting files of another user needs root");
            return;
        }
        if (!lookUp()) {
            QProcess add;
            add.start(QStringLiteral("useradd"),
                      {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                       QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(Name)});
            m_created = add.waitForFinished(30000) && add.exitStatus() == QProcess::NormalExit && add.exitCode() == 0;
            // A test running beside this one may have added it a moment ago: then it is there all the same.
            if (!lookUp()) {
                m_reason = QStringLiteral("cannot create a second user with useradd: ") +
                           QString::fromLocal8Bit(add.readAllStandardError()) + add.errorString();
                return;
            }
        }
    }
    ~OtherUser()
    {
        if (m_created) {
            QProcess::execute(QStringLiteral("userdel"), {QString::fromLatin1(Name)});
        }
    }
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    bool ok() const { return m_uid != uid_t(-1); }
    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }
    const QString &reason() const { return m_reason; }

    // Creates an empty file at path and gives it to this user; false when either fails.
    bool plantFile(const QString &path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        file.close();
        return ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
    }

private:
    static constexpr const char *Name = "eveluna-other";

    bool lookUp()
    {
        const passwd *entry = ::getpwnam(Name);
        if (entry == nullptr) {
            return false;
        }
        m_uid = entry->pw_uid;
        m_gid = entry->pw_gid;
        return true;
    }

    uid_t m_uid = uid_t(-1);
    gid_t m_gid = gid_t(-1);
    bool m_created = false;
    QString m_reason;
};
