#include "base/SocketDeadline.h"

#include "base/AbortToken.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

// The open descriptors of the process that are sockets, with their inode.
std::set<std::pair<int, unsigned long>> openSockets()
{
    std::set<std::pair<int, unsigned long>> sockets;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &name : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int fd = name.toInt(&ok);
        if (!ok)
            continue;
        const QString target = QFileInfo(fds.filePath(name)).symLinkTarget();
        const qsizetype open = target.lastIndexOf(QLatin1String("socket:["));
        if (open < 0)
            continue;
        const unsigned long inode = target.mid(open + 8).chopped(1).toULong(&ok);
        if (ok)
            sockets.insert({fd, inode});
    }
    return sockets;
}

quint16 peerPort(int fd)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &length) != 0)
        return 0;
    if (peer.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
    if (peer.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
    return 0;
}

} // namespace

SocketDeadline::SocketDeadline(int limitMs, quint16 port, AbortToken &token)
    : m_port(port)
    , m_token(token)
{
    for (const auto &[fd, inode] : openSockets())
        m_before.insert(inode);
    m_thread = std::thread([this, limitMs] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        std::unique_lock lock(m_mutex);
        // The token is looked at every tenth of a second: a stop cuts the exchange within a moment.
        while (!m_done) {
            if (std::chrono::steady_clock::now() >= deadline || m_token.tripped()) {
                m_expired = true;
                lock.unlock();
                cut();
                lock.lock();
                // Cut again a little later: the library may have opened the next connection meanwhile.
                m_wake.wait_for(lock, std::chrono::milliseconds(200));
                continue;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(100));
        }
    });
}

SocketDeadline::~SocketDeadline()
{
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool SocketDeadline::expired() const
{
    const std::lock_guard lock(m_mutex);
    return m_expired;
}

void SocketDeadline::cut()
{
    for (const auto &[fd, inode] : openSockets()) {
        if (m_before.count(inode))
            continue;
        int type = 0;
        socklen_t length = sizeof type;
        if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
            continue;
        const quint16 port = peerPort(fd);
        if (port == 0 || (m_port != 0 && port != m_port))
            continue;
        ::shutdown(fd, SHUT_RDWR);
    }
}
