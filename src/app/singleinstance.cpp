#include "singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <pwd.h>
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
    auto lock = std::make_unique<QLockFile>(m_lockPath);
    // Qt's default treats any lock older than 30 s as abandoned, which would let a second copy start
    // beside one that has simply been running for a while. Only a dead owner makes a lock stale here.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            // The folder cannot hold a lock (no write access): run rather than refuse to start.
            return true;
        }
        return false;
    }
    m_lock = std::move(lock);
    return true;
}

bool SingleInstance::isAcquired() const
{
    return m_lock != nullptr && m_lock->isLocked();
}

bool SingleInstance::listen()
{
    if (!isAcquired() || m_server != nullptr) {
        return m_server != nullptr;
    }
    // We hold the lock, so a socket file at this path can only be the remains of a copy that died.
    QLocalServer::removeServer(m_serverPath);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
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
    if (m_lock != nullptr) {
        m_lock->unlock();
        m_lock.reset();
    }
}
