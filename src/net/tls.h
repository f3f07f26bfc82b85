#pragma once

#include <QString>

#include <openssl/types.h>

class SocketWait;

// One TLS connection on a connected non-blocking socket, through the system's
// OpenSSL 3 (libssl.so.3). The library is loaded when the first TLS session starts, not with the
// program: most starts never send mail, and linking it would cost every start-up its load time.
class TlsChannel final
{
public:
    // The handshake: TLS 1.2 or newer, SNI for a host name, the certificate checked against the
    // system's trust store and against host; every wait goes through `wait`. Throws EKTcpClient with the
    // reason on failure, also when any of these checks cannot be set up: then nothing has been sent.
    TlsChannel(int fd, const QString &host, SocketWait &wait);
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // Up to size bytes of plain text; 0 when the peer has closed.
    qsizetype read(char *data, qsizetype size);
    void write(const char *data, qsizetype size);
    // Sends close_notify without waiting for the peer's.
    void shutdown();

private:
    void handshake(int fd, const QString &host);
    void release();
    // Waits for what OpenSSL asked for after a call returned result; false for any other error.
    bool waitFor(int result);

    int m_fd;
    SocketWait &m_wait;
    SSL_CTX *m_ctx = nullptr;
    SSL *m_ssl = nullptr;
};
