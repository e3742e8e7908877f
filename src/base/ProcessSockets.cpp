#include "base/ProcessSockets.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

// The peer port of a connected TCP socket; 0 for anything else.
quint16 tcpPeerPort(int fd)
{
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return 0;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0)
        return 0;
    if (peer.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
    if (peer.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
    return 0;
}

} // namespace

std::set<unsigned long> OpenSocketIds()
{
    std::set<unsigned long> ids;
    for (const auto &[fd, inode] : openSockets())
        ids.insert(inode);
    return ids;
}

void ShutDownNewConnections(const std::set<unsigned long> &before, quint16 port)
{
    for (const auto &[fd, inode] : openSockets()) {
        if (before.count(inode))
            continue;
        const quint16 peer = tcpPeerPort(fd);
        if (peer == 0 || (port != 0 && peer != port))
            continue;
        ::shutdown(fd, SHUT_RDWR);
    }
}

void EnableKeepAlive(quint16 peerPort, int idleSeconds, int intervalSeconds, int probes)
{
    for (const auto &[fd, inode] : openSockets()) {
        if (tcpPeerPort(fd) != peerPort)
            continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    }
}
