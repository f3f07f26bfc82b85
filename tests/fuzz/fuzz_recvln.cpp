// What an SMTP server sends: any bytes, cut into receives at any points.
//
// A loopback connection per input. A writer thread sends one chunk at a time and waits until the client
// has taken it off the socket before sending the next, so every receive of the client sees exactly one
// chunk and the input decides where receives end (a CR in one receive and its LF in the next, a
// two-byte character cut in half, ...). Chunks are at most 8191 bytes, what one receive takes.
#include "fuzzsupport.h"
#include "wsockutils.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <sched.h>
#include <thread>

namespace {

int listener()
{
    static const int fd = [] {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(s, 4) != 0) {
            std::perror("loopback listener");
            std::abort();
        }
        return s;
    }();
    return fd;
}

int listenerPort()
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener(), reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

bool sameAddress(const sockaddr_in &a, const sockaddr_in &b)
{
    return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

// The client's descriptor is private to TKTcpClient; it is the socket whose own address is the peer
// address of the accepted end.
int findClientSocket(int accepted)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(accepted, reinterpret_cast<sockaddr *>(&peer), &length) != 0) {
        return -1;
    }
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in own{};
        length = sizeof own;
        if (fd != accepted && ::getsockname(fd, reinterpret_cast<sockaddr *>(&own), &length) == 0 &&
            own.sin_family == AF_INET && sameAddress(own, peer)) {
            return fd;
        }
    }
    return -1;
}

// Chunk lengths from the first two bytes: a small pseudo-random walk, 1..8191 bytes each.
QList<qsizetype> chunkLengths(uint16_t seed, qsizetype total)
{
    QList<qsizetype> lengths;
    const qsizetype largest = 1 + (seed & 0x3F) * (seed & 0x4000 ? 128 : 1);
    uint32_t state = seed | 1u;
    while (total > 0) {
        state = state * 1103515245u + 12345u;
        const qsizetype length = std::min<qsizetype>({total, 1 + qsizetype(state >> 16) % largest, 8191});
        lengths.append(length);
        total -= length;
    }
    return lengths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 65536) {
        return 0;
    }
    const uint16_t seed = uint16_t(data[0] | (data[1] << 8));
    const char *payload = reinterpret_cast<const char *>(data + 2);
    const QList<qsizetype> lengths = chunkLengths(seed, qsizetype(size - 2));

    TKTcpClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(listenerPort());
    client.Open();
    const int server = ::accept4(listener(), nullptr, nullptr, SOCK_CLOEXEC);
    const int clientFd = findClientSocket(server);
    if (server < 0 || clientFd < 0) {
        fuzzFail("no loopback connection");
    }

    std::atomic<bool> stop = false;
    std::thread writer([&] {
        qsizetype offset = 0;
        for (const qsizetype length : lengths) {
            if (::send(server, payload + offset, size_t(length), MSG_NOSIGNAL) != length) {
                break;
            }
            offset += length;
            int queued = 1;
            while (!stop && ::ioctl(clientFd, FIONREAD, &queued) == 0 && queued > 0) {
                sched_yield();
            }
        }
        ::close(server);
    });

    // Every line the client returns is free of CR; there are never more lines than line ends plus one.
    // With ASCII only, decoding changes nothing: every other byte comes back in a line, none twice.
    qsizetype lineEnds = 0;
    qsizetype textBytes = 0;
    bool ascii = true;
    for (qsizetype i = 0; i + 2 < qsizetype(size); ++i) {
        const bool lineEnd = payload[i] == '\r' || payload[i] == '\n';
        lineEnds += lineEnd;
        textBytes += !lineEnd;
        ascii = ascii && uint8_t(payload[i]) < 0x80;
    }
    qsizetype textChars = 0;
    qsizetype lines = 0;
    const bool toDot = seed & 0x8000;
    try {
        for (;;) {
            const QString line = toDot ? client.RecvLnToDot() : client.RecvLn();
            if (!toDot) {
                FUZZ_CHECK(!line.contains(u'\r'), line);
            }
            FUZZ_CHECK(++lines <= lineEnds + 1, line);
            textChars += line.size() - line.count(u'\n') - line.count(u'\r');
        }
    } catch (const EKTcpClient &) {
        // The end of the input: the peer has closed and nothing is left.
    }
    stop = true;
    writer.join();
    FUZZ_CHECK(client.readBuffer().isEmpty(), client.readBuffer());
    FUZZ_CHECK(toDot || !ascii || textChars == textBytes, QString::number(textChars));
    client.Close();
    return 0;
}
