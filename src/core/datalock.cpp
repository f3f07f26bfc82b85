#include "datalock.h"

#include "variable.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct HeldFolder
{
    dev_t device;
    ino_t inode;
    int depth; // how many DataFolderLocks of this thread hold it
};

// The folders this thread has locked. flock() conflicts between two descriptors of one process as
// between two processes, so a second lock of the same thread must not call it.
thread_local QList<HeldFolder> heldFolders;

HeldFolder *heldByThisThread(dev_t device, ino_t inode)
{
    for (HeldFolder &held : heldFolders) {
        if (held.device == device && held.inode == inode) {
            return &held;
        }
    }
    return nullptr;
}

} // namespace

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
    struct stat info = {};
    if (::fstat(m_fd, &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
        if (HeldFolder *held = heldByThisThread(m_device, m_inode)) {
            ++held->depth;
            m_nested = true;
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
    // Another copy holds the lock for a few milliseconds; polling keeps a stuck holder from freezing the
    // window for longer than the wait.
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            heldFolders.append({m_device, m_inode, 1});
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
    if (m_nested || m_fd >= 0) {
        if (HeldFolder *held = heldByThisThread(m_device, m_inode); held != nullptr && --held->depth == 0) {
            heldFolders.removeIf([this](const HeldFolder &h) { return h.device == m_device && h.inode == m_inode; });
        }
    }
    if (m_fd >= 0) {
        ::close(m_fd); // closing the only descriptor releases the lock
    }
}

QString DataFolderLock::busyText()
{
    return QStringLiteral("ほかのプログラムがデータフォルダーをロックしています");
}
