#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QSocketNotifier;

// One running copy of the program per user. The first copy locks a file (flock: the system drops the
// lock when the process ends, however it ends) and answers on a local socket; a later copy finds the
// lock taken, asks the first copy through that socket to come forward and ends. The socket is a plain
// AF_UNIX stream socket: the program links no network library, which would cost start-up time. Both
// names are built from the program's fixed key and the user's name, inside the user's runtime folder,
// so two users on one machine each get their own copy.
//
// tryAcquire() and requestActivation() need no application object, so a second copy can end before
// any window system connection is made. listen() needs a running event loop to deliver requests.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *DefaultKey = "TORVANAppUniqueEVeluna";

    // folder: where the lock file and the socket lie (defaultFolder() for the program itself).
    explicit SingleInstance(const QString &folder = defaultFolder(),
                            const QString &key = QString::fromLatin1(DefaultKey), QObject *parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder, or when the session has none (XDG_RUNTIME_DIR unset) cacheFolder().
    static QString defaultFolder();

    // "eveluna" in the user's cache folder ($XDG_CACHE_HOME when it is an absolute path, else
    // "<home>/.cache"), made with mode 0700 and kept at 0700: a folder inside her own home, which no
    // other user can create first or enter, and nothing left behind in a shared temporary folder.
    static QString cacheFolder();

    QString lockFilePath() const { return m_lockPath; }
    QString serverPath() const { return m_serverPath; }

    // True when this process is now the running copy. A lock left behind by a copy that died (its
    // process is gone) is taken over; a lock of a live copy is never broken, however old it is. A lock
    // file of another user is never opened or locked: false.
    bool tryAcquire();
    bool isAcquired() const;

    // Starts answering the requests of later copies; each one emits activationRequested(). Removes a
    // socket left behind by a copy that died. Only valid after tryAcquire() returned true. A caller gets
    // a second to send its request, and at most a few wait at once (the one silent longest is dropped
    // first), so callers that connect and send nothing hold neither descriptors nor the processor.
    bool listen();

    // Asks the running copy to come forward. Returns whether the request was delivered; waits at most
    // timeoutMs milliseconds, so a running copy that hangs cannot keep this copy from ending. Only a
    // socket of this user, served by a process of this user, is asked.
    bool requestActivation(int timeoutMs = 2000) const;
    // Whether a running copy answers on the socket, asking it nothing: a window answers, a command-line
    // import that holds the lock does not.
    bool runningCopyAnswers(int timeoutMs = 1000) const;
    // The same, asking the running copy to open the registration dialog over its window as well.
    bool requestEntry(int timeoutMs = 2000) const;
    // The same, asking it to open the day dialog on today.
    bool requestDay(int timeoutMs = 2000) const;

    // Asks the running copy to register a first day; its answer is one line of text (the handler's) or
    // none when no copy answers within timeoutMs.
    std::optional<QString> askRecordStart(const QDate &day, int timeoutMs = 5000) const;
    // What the running copy answers to askRecordStart; without a handler the request goes unanswered.
    void setRecordStartHandler(std::function<QString(const QDate &day)> handler);

    enum class StartResult { First, Activated, Unreachable };
    // The start of the program: the lock (First), or else the running copy asked to come forward
    // (Activated). A copy that holds the lock but does not answer is asked again until waitMs have
    // passed; then Unreachable, which the user must be told about.
    StartResult acquireOrActivate(int waitMs = 5000);

    // Stops answering and gives up the lock, so that a new copy can start.
    void release();

signals:
    void activationRequested();
    void entryRequested();
    void dayRequested();

private:
    void acceptRequests();
    void pauseAccepting();
    void dropConnection(QSocketNotifier *connection);
    bool sendRequest(const char *request, int timeoutMs) const;
    // Sends the request and, with `reply`, waits for one line back within the same time limit.
    bool exchange(const QByteArray &request, int timeoutMs, QByteArray *reply) const;
    void answer(int fd, const QByteArray &request);

    std::function<QString(const QDate &)> m_recordStartHandler;

    QString m_lockPath;
    QString m_serverPath;
    int m_lockFd = -1;                      // the open lock file while this process holds the lock
    int m_listenFd = -1;                    // the listening socket while listen() holds it
    QSocketNotifier *m_listener = nullptr;  // watches m_listenFd for callers
    QList<QSocketNotifier *> m_connections; // accepted callers whose first line has not come in yet, oldest first
};
