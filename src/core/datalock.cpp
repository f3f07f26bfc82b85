#include "datalock.h"

#include "variable.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

DataFolderLock::DataFolderLock(const QString &filePath, int waitMs)
{
    // The installed program's data folder may not exist before its first save; made now, there is one
    // folder for both copies to lock.
    QString ignored;
    Variable::prepareFolderOf(filePath, ignored);
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    m_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    // Another copy holds the lock for a few milliseconds; polling keeps a stuck holder from freezing the
    // window for longer than the wait.
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            return;
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EWOULDBLOCK || deadline.hasExpired()) {
            m_busy = error == EWOULDBLOCK;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        QThread::msleep(5);
    }
}

DataFolderLock::~DataFolderLock()
{
    if (m_fd >= 0) {
        ::close(m_fd); // closing the only descriptor releases the lock
    }
}

QString DataFolderLock::busyText()
{
    return QStringLiteral("ほかのプログラムがデータフォルダーをロックしています");
}
