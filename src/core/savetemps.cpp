#include "savetemps.h"

#include "datacommit.h"
#include "datafiles.h"
#include "datalock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Marker = QStringLiteral(".tmp-");
constexpr qsizetype RandomLength = 6; // mkstemp replaces exactly six X

} // namespace

QByteArray temporaryFileTemplate(const QByteArray &targetPath)
{
    const qsizetype slash = targetPath.lastIndexOf('/');
    return targetPath.left(slash + 1) + '.' + targetPath.mid(slash + 1) + Marker.toLatin1() +
           QByteArray(RandomLength, 'X');
}

bool isTemporaryFileName(const QString &fileName)
{
    static const QRegularExpression form(QStringLiteral("^\\.(.+)\\.tmp-[A-Za-z0-9]{%1}$").arg(RandomLength));
    const QRegularExpressionMatch match = form.match(fileName);
    return match.hasMatch() && findDataFile(match.captured(1)) != nullptr;
}

int removeStaleTemporaryFiles(const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        return 0;
    }
    // Every save into the folder holds this lock from its temporary file to its rename, so while it is
    // held every temporary file there is a leftover.
    const DataFolderLock lock(QDir(folder).filePath(QStringLiteral("date.dat")));
    if (lock.busy()) {
        return 0;
    }
    // An import or a restore stopped between its record and its last rename: its temporary files are
    // the new records, and go into place before anything is tidied.
    finishInterruptedCommit(folder);
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (!isTemporaryFileName(name)) {
            continue;
        }
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        struct stat info = {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::unlink(path.constData()) == 0) {
            ++removed;
        }
    }
    return removed;
}
