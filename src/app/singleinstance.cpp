#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The one request a later copy sends; anything else on the socket is ignored.
constexpr char ActivationRequest[] = "activate\n";

QString userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(::geteuid());
}

// A folder of this user that no one else may enter or list.
bool isPrivateFolder(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, const QString &key, QObject *parent)
    : QObject(parent)
{
    const QString base = QDir(folder).filePath(key + QLatin1Char('-') + userName());
    m_lockPath = base + QStringLiteral(".lock");
    m_serverPath = base + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::defaultFolder()
{
    // Without XDG_RUNTIME_DIR Qt would warn on every start and invent a folder; the temporary folder
    // is the customary place then, and the user's name in the file names keeps users apart.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty()) {
            return runtime;
        }
    }
    return QDir::tempPath();
}

bool SingleInstance::tryAcquire()
{
    if (isAcquired()) {
        return true;
    }
    // A lock held by the system rather than a file's contents: nothing is written or synced to disk
    // (a sync of a fresh file costs tens of milliseconds on a disk-backed folder), and a copy that died
    // leaves at most an unlocked file behind, which the next copy simply locks again.
    const QByteArray path = QFile::encodeName(m_lockPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            // The folder cannot hold a lock (no write access): run rather than refuse to start.
            return true;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            // EWOULDBLOCK: another copy holds it. Any other failure (a file system without locks) is
            // treated like the unwritable folder.
            return error != EWOULDBLOCK;
        }
        // The copy that held the lock removes the file before letting go. Opened just before that, the
        // file we now hold is one nobody else can find: start over on the file now at the path.
        struct stat held = {};
        struct stat named = {};
        if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            m_lockFd = fd;
            return true;
        }
        ::close(fd);
    }
    // The file keeps being replaced: other copies are starting and ending right now.
    return false;
}

bool SingleInstance::isAcquired() const
{
    return m_lockFd >= 0;
}

bool SingleInstance::listen()
{
    if (!isAcquired() || m_server != nullptr) {
        return m_server != nullptr;
    }
    // We hold the lock, so a socket file at this path can only be the remains of a copy that died.
    QLocalServer::removeServer(m_serverPath);
    auto *server = new QLocalServer(this);
    // Only this user may send requests. A socket in a folder only this user can enter (the session's
    // runtime folder) is out of other users' reach already; elsewhere (the temporary folder) Qt makes
    // the socket itself private, through a temporary folder that costs about a millisecond of start-up.
    if (!isPrivateFolder(QFileInfo(m_serverPath).absolutePath())) {
        server->setSocketOptions(QLocalServer::UserAccessOption);
    }
    if (!server->listen(m_serverPath)) {
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    m_server = server;
    return true;
}

void SingleInstance::readRequest()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto check = [this, socket] {
            if (socket->canReadLine()) {
                const QByteArray line = socket->readLine(64);
                socket->disconnectFromServer();
                if (line == ActivationRequest) {
                    emit activationRequested();
                }
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, check);
        check();
    }
}

bool SingleInstance::requestActivation(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverPath, QIODevice::WriteOnly);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(ActivationRequest, qstrlen(ActivationRequest));
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}

void SingleInstance::release()
{
    if (m_server != nullptr) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (m_lockFd >= 0) {
        // Removed while still locked, so that no copy can lock this file once it is released.
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}
