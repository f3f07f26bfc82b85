#include "ownerfile.h"

#include "errors.h"
#include "textfile.h"

#include <QFile>

void writeOwnerOnlyFile(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, reason)) {
        throw EFileError(QStringLiteral("%1 に書き込めません。%2").arg(path, reason));
    }
}

void removeFileIfPresent(const QString &path)
{
    QFile file(path);
    if (file.exists() && !file.remove()) {
        throw EFileError(QStringLiteral("%1 を削除できません。%2").arg(path, file.errorString()));
    }
}
