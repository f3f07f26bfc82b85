#include "singleinstance.h"

#include "variable.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The requests a later copy sends (the reminder sends the second); anything else on the socket is ignored.
constexpr char ActivationRequest[] = "activate\n";
constexpr char EntryRequest[] = "entry\n";
constexpr char DayRequest[] = "day\n";
// "record-start yyyy-mm-dd\n", answered with one line (the only request that gets an answer).
constexpr char RecordStartRequest[] = "record-start ";
// The answer's length limit on the asking side.
constexpr qsizetype MaxAnswerBytes = 4096;
// A caller's first line is judged after at most this many bytes, so a caller cannot make us buffer more.
constexpr qsizetype MaxRequestBytes = 64;
// A request is a few bytes sent right after connecting: a caller that has sent no whole line within a
// second never will, and more than a handful waiting at once are not copies of the program starting.
// Each one holds a descriptor, so callers that only connect would otherwise use up the process's.
constexpr int PendingLifetimeMs = 1000;
constexpr qsizetype MaxPendingConnections = 8;
// While accepting fails (no descriptor left: EMFILE) the waiting callers stay ready, and the listener
// would be woken again at once; it sleeps this long instead.
constexpr int AcceptPauseMs = 250;

QString userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(::geteuid());
}

// The socket address of path; false when the path does not fit (sun_path holds 107 bytes and a NUL).
bool socketAddress(const QString &path, sockaddr_un &address)
{
    const QByteArray name = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// A file at path that belongs to another user: the program never locks, removes or talks to it.
bool ownedByAnotherUser(const char *path)
{
    struct stat info = {};
    return ::lstat(path, &info) == 0 && info.st_uid != ::geteuid();
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
    // Without XDG_RUNTIME_DIR Qt would warn on every start and invent a folder in the shared temporary
    // folder, where another user could create the names first.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty()) {
            return runtime;
        }
    }
    return cacheFolder();
}

QString SingleInstance::cacheFolder()
{
    const QString base =
        Variable::xdgBaseFolder(qEnvironmentVariable("XDG_CACHE_HOME"), Variable::userHome(), QStringLiteral(".cache"));
    const QString folder = QDir::cleanPath(base + QStringLiteral("/eveluna"));
    // A folder that cannot be made leaves the lock unmade: tryAcquire() then lets the program run.
    QString ignored;
    Variable::makePrivatePath(folder, ignored);
    const QByteArray path = QFile::encodeName(folder);
    struct stat info = {};
    if (::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::chmod(path.constData(), S_IRWXU);
    }
    return folder;
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
        // A lock file of another user is left alone: locking it would let that user decide whether
        // this copy may run.
        if (ownedByAnotherUser(path.constData())) {
            return false;
        }
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
            held.st_ino == named.st_ino && held.st_uid == ::geteuid()) {
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
    if (!isAcquired() || m_listenFd >= 0) {
        return m_listenFd >= 0;
    }
    sockaddr_un address;
    if (!socketAddress(m_serverPath, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    // We hold the lock, so a socket file of ours at this path can only be the remains of a copy that
    // died. One of another user is not ours to remove.
    if (ownedByAnotherUser(address.sun_path)) {
        ::close(fd);
        return false;
    }
    ::unlink(address.sun_path);
    // Only this user may send requests (connecting needs write access to the socket file), whatever
    // folder it lies in. Until listen() below nobody can connect, so the moment between bind() and
    // chmod() lets no one in.
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return false;
    }
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        ::unlink(address.sun_path);
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_listener = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_listener, &QSocketNotifier::activated, this, &SingleInstance::acceptRequests);
    return true;
}

void SingleInstance::acceptRequests()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if ((errno == EMFILE || errno == ENFILE) && !m_connections.isEmpty()) {
                dropConnection(m_connections.first()); // its descriptor serves the next caller
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                pauseAccepting();
            }
            return; // EAGAIN: no caller is waiting any more
        }
        if (m_connections.size() >= MaxPendingConnections) {
            dropConnection(m_connections.first()); // the longest silent caller
        }
        // The caller's line may arrive after the connection: read it whenever it comes, never waiting
        // for it here, so a caller that sends nothing cannot stop the window.
        auto *connection = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        m_connections.append(connection);
        QTimer::singleShot(PendingLifetimeMs, connection, [this, connection] { dropConnection(connection); });
        auto received = std::make_shared<QByteArray>();
        auto read = [this, connection, received] {
            char buffer[MaxRequestBytes];
            for (;;) {
                const ssize_t count =
                    ::recv(int(connection->socket()), buffer, size_t(MaxRequestBytes - received->size()), 0);
                if (count < 0 && errno == EINTR) {
                    continue;
                }
                if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    return; // the rest of the line is still on its way
                }
                if (count > 0) {
                    received->append(buffer, count);
                    const qsizetype end = received->indexOf('\n');
                    if (end < 0 && received->size() < MaxRequestBytes) {
                        continue;
                    }
                    const QByteArray request = received->left(end + 1);
                    if (request.startsWith(RecordStartRequest)) {
                        answer(int(connection->socket()), request);
                    }
                    dropConnection(connection);
                    if (request == ActivationRequest) {
                        emit activationRequested();
                    } else if (request == EntryRequest) {
                        emit entryRequested();
                    } else if (request == DayRequest) {
                        emit dayRequested();
                    }
                    return;
                }
                // Closed (0) or failed before a whole line came in: not a request.
                dropConnection(connection);
                return;
            }
        };
        connect(connection, &QSocketNotifier::activated, this, read);
        read();
    }
}

void SingleInstance::pauseAccepting()
{
    m_listener->setEnabled(false);
    QTimer::singleShot(AcceptPauseMs, this, [this] {
        if (m_listener != nullptr) {
            m_listener->setEnabled(true);
        }
    });
}

void SingleInstance::dropConnection(QSocketNotifier *connection)
{
    // Called from the notifier's own signal: it is disabled now and deleted once that signal is done.
    // Its time limit may still come after a request already ended it.
    if (!m_connections.removeOne(connection)) {
        return;
    }
    connection->setEnabled(false);
    ::close(int(connection->socket()));
    connection->deleteLater();
}

bool SingleInstance::requestActivation(int timeoutMs) const
{
    return sendRequest(ActivationRequest, timeoutMs);
}

bool SingleInstance::requestEntry(int timeoutMs) const
{
    return sendRequest(EntryRequest, timeoutMs);
}

bool SingleInstance::requestDay(int timeoutMs) const
{
    return sendRequest(DayRequest, timeoutMs);
}

std::optional<QString> SingleInstance::askRecordStart(const QDate &day, int timeoutMs) const
{
    QByteArray reply;
    if (!exchange(RecordStartRequest + day.toString(Qt::ISODate).toLatin1() + '\n', timeoutMs, &reply)) {
        return std::nullopt;
    }
    return QString::fromUtf8(reply);
}

void SingleInstance::setRecordStartHandler(std::function<QString(const QDate &)> handler)
{
    m_recordStartHandler = std::move(handler);
}

void SingleInstance::answer(int fd, const QByteArray &request)
{
    const QDate day = QDate::fromString(
        QString::fromLatin1(request.mid(qsizetype(std::strlen(RecordStartRequest))).trimmed()), Qt::ISODate);
    if (!m_recordStartHandler || !day.isValid()) {
        return;
    }
    const QByteArray line = m_recordStartHandler(day).toUtf8().replace('\n', ' ') + '\n';
    // A short line into the empty buffer of a new connection: it fits at once.
    ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool SingleInstance::runningCopyAnswers(int timeoutMs) const
{
    // A connection that sends nothing is no request: the window drops it after a second.
    return sendRequest("", timeoutMs);
}

bool SingleInstance::sendRequest(const char *request, int timeoutMs) const
{
    return exchange(QByteArray(request), timeoutMs, nullptr);
}

bool SingleInstance::exchange(const QByteArray &request, int timeoutMs, QByteArray *reply) const
{
    sockaddr_un address;
    if (!socketAddress(m_serverPath, address)) {
        return false;
    }
    // Only a socket of this user is the running copy; anyone else's could be listening to learn when
    // the program starts.
    struct stat info = {};
    if (::lstat(address.sun_path, &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid()) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    // The send time-out bounds connect() too: a running copy whose queue of callers is full, because
    // it hangs, makes connect() wait, never longer than this. Zero would mean no limit.
    const int ms = std::max(timeoutMs, 1);
    const timeval limit = {ms / 1000, (ms % 1000) * 1000};
    bool sent = ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) == 0 &&
                ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit)) == 0 &&
                ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    if (sent) {
        // The file was ours a moment ago; the process behind it must be too.
        ucred peer = {};
        socklen_t size = sizeof(peer);
        sent = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
    }
    if (sent) {
        // A few bytes into an empty socket buffer; MSG_NOSIGNAL: a copy that ends meanwhile must not
        // end this one with SIGPIPE.
        sent = ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size();
    }
    if (sent && reply != nullptr) {
        // The running copy answers once it has done the work; a copy that closes without a line (an older
        // version, or one that could not read the request) has answered nothing.
        reply->clear();
        char buffer[256];
        while (!reply->endsWith('\n') && reply->size() < MaxAnswerBytes) {
            const ssize_t count = ::recv(fd, buffer, sizeof(buffer), 0);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;
            }
            reply->append(buffer, count);
        }
        sent = reply->endsWith('\n');
        reply->chop(sent ? 1 : 0);
    }
    ::close(fd);
    return sent;
}

SingleInstance::StartResult SingleInstance::acquireOrActivate(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (tryAcquire()) {
            return StartResult::First;
        }
        // A copy that holds the lock but does not answer yet is still starting (its window comes
        // before its socket), or it ended a moment ago: both settle within a second or two.
        if (requestActivation(std::max(1, int(std::min<qint64>(deadline.remainingTime(), 2000))))) {
            return StartResult::Activated;
        }
        if (deadline.hasExpired()) {
            return StartResult::Unreachable;
        }
        QThread::msleep(100);
    }
}

void SingleInstance::release()
{
    if (m_listenFd >= 0) {
        for (QSocketNotifier *connection : std::as_const(m_connections)) {
            connection->setEnabled(false);
            ::close(int(connection->socket()));
            connection->deleteLater();
        }
        m_connections.clear();
        // Possibly inside the listener's own signal (a handler of activationRequested may release).
        m_listener->setEnabled(false);
        m_listener->deleteLater();
        m_listener = nullptr;
        // Removed before the lock is given up, so a new copy never finds the socket of this one.
        ::unlink(QFile::encodeName(m_serverPath).constData());
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    if (m_lockFd >= 0) {
        // Removed while still locked, so that no copy can lock this file once it is released.
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}
