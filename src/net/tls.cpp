#include "tls.h"

#include "neterrors.h"
#include "socketwait.h"

#include <QLibrary>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>

namespace {

// The entry points used, looked up in libssl.so.3 (and, through its dependency, libcrypto.so.3).
struct OpenSsl
{
    const void *handle = nullptr; // the loaded library; null until every function is resolved
#define EVELUNA_SSL_FUNCTIONS(X)                                                                                       \
    X(TLS_client_method)                                                                                               \
    X(SSL_CTX_new)                                                                                                     \
    X(SSL_CTX_free)                                                                                                    \
    X(SSL_CTX_set_default_verify_paths)                                                                                \
    X(SSL_CTX_set_verify)                                                                                              \
    X(SSL_CTX_set_options)                                                                                             \
    X(SSL_CTX_ctrl)                                                                                                    \
    X(SSL_new)                                                                                                         \
    X(SSL_free)                                                                                                        \
    X(SSL_set_fd)                                                                                                      \
    X(SSL_ctrl)                                                                                                        \
    X(SSL_get0_param)                                                                                                  \
    X(X509_VERIFY_PARAM_set1_host)                                                                                     \
    X(X509_VERIFY_PARAM_set1_ip_asc)                                                                                   \
    X(SSL_connect)                                                                                                     \
    X(SSL_read)                                                                                                        \
    X(SSL_write)                                                                                                       \
    X(SSL_get_error)                                                                                                   \
    X(SSL_shutdown)                                                                                                    \
    X(SSL_get_verify_result)                                                                                           \
    X(X509_verify_cert_error_string)                                                                                   \
    X(ERR_get_error)                                                                                                   \
    X(ERR_clear_error)                                                                                                 \
    X(ERR_error_string_n)
#define EVELUNA_SSL_POINTER(name) decltype(&::name) name = nullptr;
    EVELUNA_SSL_FUNCTIONS(EVELUNA_SSL_POINTER)
#undef EVELUNA_SSL_POINTER
};

const OpenSsl &openSsl()
{
    static OpenSsl ssl;
    // The loader's own words: a missing file, a missing symbol, a library of the wrong architecture.
    static QString failure;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        // Never unloaded: the resolved functions are used until the program ends.
        static QLibrary library(QStringLiteral("ssl"), 3);
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library.load()) {
            failure = library.errorString();
            return;
        }
        QString missing;
#define EVELUNA_SSL_RESOLVE(name)                                                                                      \
    ssl.name = reinterpret_cast<decltype(&::name)>(library.resolve(#name));                                            \
    if (ssl.name == nullptr && missing.isEmpty()) {                                                                    \
        missing = library.errorString();                                                                               \
    }
        EVELUNA_SSL_FUNCTIONS(EVELUNA_SSL_RESOLVE)
#undef EVELUNA_SSL_RESOLVE
        if (missing.isEmpty()) {
            ssl.handle = &library;
        } else {
            failure = missing;
            library.unload();
        }
    });
    if (ssl.handle == nullptr) {
        throw EKTcpClient(QStringLiteral("TLSのライブラリ (libssl.so.3) を読み込めません。(") + failure +
                          QLatin1Char(')'));
    }
    return ssl;
}

// OpenSSL writes with plain send(): a peer that has gone away would raise SIGPIPE and end the program.
// The signal is blocked on this thread while OpenSSL writes, and one that came meanwhile is taken back.
class NoSigPipe final
{
public:
    NoSigPipe()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigpending(&m_pending);
        m_wasPending = sigismember(&m_pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~NoSigPipe()
    {
        sigset_t now;
        sigpending(&now);
        if (!m_wasPending && sigismember(&now, SIGPIPE) == 1) {
            const timespec none{0, 0};
            sigtimedwait(&m_pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    NoSigPipe(const NoSigPipe &) = delete;
    NoSigPipe &operator=(const NoSigPipe &) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    sigset_t m_pending;
    bool m_wasPending = false;
};

QString verificationFailure(long code, const QString &host)
{
    const QString server = ServerNameText(host);
    switch (code) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return server + QStringLiteral("の証明書は有効期限が切れています。");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return server + QStringLiteral("の証明書はまだ有効期間に入っていません。");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return server + QStringLiteral("の証明書は別のホスト名のものです。");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return server + QStringLiteral("の証明書は信頼できる認証局が発行したものではありません。");
    default:
        return server + QStringLiteral("の証明書を確認できません。(") +
               QString::fromUtf8(openSsl().X509_verify_cert_error_string(code)) + QLatin1Char(')');
    }
}

} // namespace

TlsChannel::TlsChannel(int fd, const QString &host, SocketWait &wait)
    : m_fd(fd)
    , m_wait(wait)
{
    try {
        handshake(fd, host);
    } catch (...) {
        // No destructor runs for a constructor that throws.
        release();
        throw;
    }
}

void TlsChannel::handshake(int fd, const QString &host)
{
    // A name with a control character (an embedded NUL above all) would be cut short or refused by the
    // host-name check below; either way the certificate would not be checked against the name typed.
    if (std::any_of(host.begin(), host.end(), [](QChar c) { return c.category() == QChar::Other_Control; })) {
        throw EKTcpClient(QStringLiteral("サーバー名に制御文字が含まれています。"));
    }
    const OpenSsl &ssl = openSsl();
    ssl.ERR_clear_error();
    // Each step of the set-up must succeed: a check that was not set up would let any certificate pass.
    const auto require = [&ssl](bool done) {
        if (done) {
            return;
        }
        const unsigned long code = ssl.ERR_get_error();
        QString message = QStringLiteral("TLSを準備できません。");
        if (code != 0) {
            char reason[256] = {};
            ssl.ERR_error_string_n(code, reason, sizeof reason);
            message += QLatin1Char('(') + QString::fromUtf8(reason) + QLatin1Char(')');
        }
        throw EKTcpClient(message);
    };
    m_ctx = ssl.SSL_CTX_new(ssl.TLS_client_method());
    require(m_ctx != nullptr);
    // Debian's ca-certificates (or SSL_CERT_FILE / SSL_CERT_DIR when set).
    require(ssl.SSL_CTX_set_default_verify_paths(m_ctx) == 1);
    ssl.SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
    require(ssl.SSL_CTX_ctrl(m_ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr) == 1);
    // Servers that drop the connection after QUIT without close_notify are common; that end is no error.
    ssl.SSL_CTX_set_options(m_ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);

    m_ssl = ssl.SSL_new(m_ctx);
    require(m_ssl != nullptr);
    require(ssl.SSL_set_fd(m_ssl, fd) == 1);
    const QByteArray name = host.toUtf8();
    in_addr ipv4{};
    X509_VERIFY_PARAM *param = ssl.SSL_get0_param(m_ssl);
    require(param != nullptr);
    if (::inet_pton(AF_INET, name.constData(), &ipv4) == 1) {
        // An address is checked against the certificate's IP entries; SNI carries names only.
        require(ssl.X509_VERIFY_PARAM_set1_ip_asc(param, name.constData()) == 1);
    } else {
        require(ssl.SSL_ctrl(m_ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                             const_cast<char *>(name.constData())) == 1);
        require(ssl.X509_VERIFY_PARAM_set1_host(param, name.constData(), size_t(name.size())) == 1);
    }

    const NoSigPipe noSigPipe;
    for (;;) {
        const int result = ssl.SSL_connect(m_ssl);
        if (result == 1) {
            return;
        }
        if (waitFor(result)) {
            continue;
        }
        const long verify = ssl.SSL_get_verify_result(m_ssl);
        if (verify != X509_V_OK) {
            throw EKTcpClient(verificationFailure(verify, host));
        }
        char reason[256] = {};
        ssl.ERR_error_string_n(ssl.ERR_get_error(), reason, sizeof reason);
        throw EKTcpClient(ServerNameText(host) + QStringLiteral("とTLSで接続できません。(") +
                          QString::fromUtf8(reason) + QLatin1Char(')'));
    }
}

TlsChannel::~TlsChannel()
{
    release();
}

void TlsChannel::release()
{
    if (m_ssl != nullptr) {
        openSsl().SSL_free(std::exchange(m_ssl, nullptr));
    }
    if (m_ctx != nullptr) {
        openSsl().SSL_CTX_free(std::exchange(m_ctx, nullptr));
    }
}

bool TlsChannel::waitFor(int result)
{
    switch (openSsl().SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        m_wait.waitReady(m_fd, false);
        return true;
    case SSL_ERROR_WANT_WRITE:
        m_wait.waitReady(m_fd, true);
        return true;
    default:
        return false;
    }
}

qsizetype TlsChannel::read(char *data, qsizetype size)
{
    const OpenSsl &ssl = openSsl();
    for (;;) {
        ssl.ERR_clear_error();
        const int result = ssl.SSL_read(m_ssl, data, int(size));
        if (result > 0) {
            return result;
        }
        m_wait.checkCancelled();
        const int error = ssl.SSL_get_error(m_ssl, result);
        if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == 0)) {
            return 0;
        }
        if (!waitFor(result)) {
            // The connection broke (or a cancel shut it down) under the record layer.
            m_wait.checkCancelled();
            throw EKTcpClient(ReceiveErrorText(WsaErrorCode(errno ? errno : ECONNRESET)));
        }
    }
}

void TlsChannel::write(const char *data, qsizetype size)
{
    const OpenSsl &ssl = openSsl();
    const NoSigPipe noSigPipe;
    while (size > 0) {
        ssl.ERR_clear_error();
        const int result = ssl.SSL_write(m_ssl, data, int(size));
        if (result > 0) {
            data += result;
            size -= result;
            continue;
        }
        if (!waitFor(result)) {
            m_wait.checkCancelled();
            throw EKTcpClient(SendErrorText(WsaErrorCode(errno ? errno : EPIPE)));
        }
    }
}

void TlsChannel::shutdown()
{
    const NoSigPipe noSigPipe;
    openSsl().SSL_shutdown(m_ssl);
}
