#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/mount.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// A small tmpfs of its own, so filling it fills nobody else's disk. Needs root (CAP_SYS_ADMIN); when it
// cannot be mounted, reason() says why and the caller should skip.
class SmallDisk final
{
public:
    SmallDisk(const QString &where, int kib)
        : m_where(QFile::encodeName(where))
    {
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
        if (::mount("tmpfs", m_where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0) {
            m_mounted = true;
        } else {
            m_reason =
                QStringLiteral("cannot mount a small tmpfs here: ") + QString::fromLocal8Bit(std::strerror(errno));
        }
    }
    ~SmallDisk()
    {
        if (m_mounted) {
            ::umount2(m_where.constData(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    const QString &reason() const { return m_reason; }

    // Writes a filler file until the disk refuses more; true when it ended with "no space left".
    bool fillUp(const QString &filler) const
    {
        const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            return false;
        }
        const QByteArray block(4096, 'x');
        int error = 0;
        for (;;) {
            const ssize_t written = ::write(fd, block.constData(), size_t(block.size()));
            if (written <= 0) {
                error = written < 0 ? errno : ENOSPC;
                break;
            }
        }
        // The last partial block may have squeezed a few bytes in; make sure not one byte more fits.
        while (::write(fd, "x", 1) == 1) {
        }
        ::close(fd);
        return error == ENOSPC;
    }

private:
    QByteArray m_where;
    bool m_mounted = false;
    QString m_reason;
};
