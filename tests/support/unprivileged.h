#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <unistd.h>

// Permission tests need the kernel to refuse access, which it never does for root. Under root this
// switches the effective user to "nobody" (after handing it the test folder) for the scope's lifetime;
// ok() is false when that is not possible and the caller should skip.
class Unprivileged final
{
public:
    explicit Unprivileged(const QString &ownFolder)
    {
        if (::geteuid() != 0) {
            m_ok = true;
            return;
        }
        const QByteArray path = ownFolder.toLocal8Bit();
        if (::chown(path.constData(), nobody, nobody) != 0) {
            return;
        }
        m_switched = ::setegid(nobody) == 0 && ::seteuid(nobody) == 0;
        m_ok = m_switched;
    }
    ~Unprivileged()
    {
        if (m_switched) {
            [[maybe_unused]] const int u = ::seteuid(0);
            [[maybe_unused]] const int g = ::setegid(0);
        }
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool ok() const { return m_ok; }

private:
    static constexpr uid_t nobody = 65534;
    bool m_ok = false;
    bool m_switched = false;
};
