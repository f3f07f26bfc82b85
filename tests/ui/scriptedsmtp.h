#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <thread>

// An SMTP server that answers from a script, for what a real server will not do (multi-line replies,
// odd verdicts, an early end). It accepts one connection on 127.0.0.1 with a free port.
//
// replies[0] is the greeting; each further entry answers one command line, "DATA" included; after
// DATA the lines up to "." are the message and the next entry answers the ".". An entry may hold
// several lines. When the replies run out the server closes the connection. An empty entry is silence:
// the server says nothing more and waits for the client to close. With repeatLast the last entry is
// sent again and again, as fast as the client takes it, until the client hangs up. Every wait is bounded
// (ten seconds), so a client that misbehaves fails its test instead of hanging it.
class ScriptedSmtpServer
{
public:
    explicit ScriptedSmtpServer(QList<QByteArray> replies, bool repeatLast = false);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer &) = delete;
    ScriptedSmtpServer &operator=(const ScriptedSmtpServer &) = delete;

    int port() const { return m_port; }
    // Waits for the connection to end; then every byte the client sent, in order.
    QByteArray finish();
    int connections() const { return m_connections; }

private:
    void serve();

    QList<QByteArray> m_replies;
    bool m_repeatLast = false;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_connections = 0;
    QByteArray m_received;
    std::thread m_thread;
};

// A local port whose socket is bound but does not listen: a connection to it is refused.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort &) = delete;
    RefusingPort &operator=(const RefusingPort &) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};
