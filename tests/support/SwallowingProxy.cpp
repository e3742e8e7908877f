#include "support/SwallowingProxy.h"

#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SwallowingProxy::SwallowingProxy(const QString &serviceUrl, int idleMs)
    : m_service(serviceUrl)
    , m_idleMs(idleMs)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listen, 16);
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { loop(); });
}

SwallowingProxy::~SwallowingProxy()
{
    m_stop = true;
    m_thread.join();
    for (const Pair &pair : m_pairs) {
        if (pair.client >= 0)
            ::close(pair.client);
        if (pair.service >= 0)
            ::close(pair.service);
    }
    ::close(m_listen);
}

QString SwallowingProxy::url() const
{
    QUrl url(m_service);
    url.setPort(m_port);
    return url.toString();
}

int SwallowingProxy::connectToService() const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(QUrl(m_service).port()));
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

void SwallowingProxy::loop()
{
    char buffer[65536];
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
        for (const Pair &pair : m_pairs) {
            fds.push_back({pair.client, POLLIN, 0}); // a negative descriptor is left out by poll
            fds.push_back({pair.service, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                m_pairs.push_back({client, connectToService(), std::chrono::steady_clock::now()});
                ++m_connections;
            }
            continue; // the pairs changed under the poll set
        }
        const auto now = std::chrono::steady_clock::now();
        for (size_t i = 0; i < m_pairs.size(); ++i) {
            Pair &pair = m_pairs[i];
            for (const bool fromClient : {true, false}) {
                int &from = fromClient ? pair.client : pair.service;
                int &to = fromClient ? pair.service : pair.client;
                if (from < 0 || !(fds[1 + 2 * i + (fromClient ? 0 : 1)].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    // An end passes on to the other side, unless the connection is swallowed.
                    ::close(from);
                    from = -1;
                    if (!pair.swallowing && to >= 0) {
                        ::close(to);
                        to = -1;
                    }
                    continue;
                }
                if (now - pair.active > std::chrono::milliseconds(m_idleMs))
                    pair.swallowing = true;
                if (pair.swallowing || to < 0) {
                    ++m_swallowed;
                    continue;
                }
                pair.active = now;
                [[maybe_unused]] const ssize_t sent = ::send(to, buffer, size_t(n), MSG_NOSIGNAL);
            }
        }
        std::erase_if(m_pairs, [](const Pair &pair) { return pair.client < 0 && pair.service < 0; });
    }
}
