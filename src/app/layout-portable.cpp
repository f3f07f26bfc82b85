// The portable program: the data files lie beside the executable, whatever the working folder.

#include "layout.h"

#include <QFile>

#include <climits>
#include <fcntl.h>
#include <unistd.h>

DataLayout programDataLayout()
{
    // The executable's path as the system gives it, in bytes: Qt's own (applicationDirPath) is empty
    // for a folder whose name is not valid in the locale's encoding, which made the data files those of
    // the working folder.
    char buffer[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof(buffer));
    const QByteArray executable = size > 0 && size_t(size) < sizeof(buffer) ? QByteArray(buffer, size) : QByteArray();
    const qsizetype slash = executable.lastIndexOf('/');
    if (slash < 0) {
        return {QString(), false, QStringLiteral("実行ファイルの場所がわからないため、データファイルを開けません")};
    }
    const QByteArray folder = slash == 0 ? QByteArray("/") : executable.left(slash);
    const QString name = QFile::decodeName(folder);
    if (QFile::encodeName(name) == folder) {
        return {name, false, QString()};
    }
    // A name that text cannot carry: the folder is reached through a descriptor that stays open for the
    // life of the process, by a name every path function takes.
    const int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {QString(), false, QStringLiteral("フォルダー %1 を開けません").arg(name)};
    }
    return {QStringLiteral("/proc/self/fd/%1").arg(fd), false, QString()};
}
