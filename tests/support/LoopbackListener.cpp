#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

LoopbackListener::LoopbackListener(const char *owner, Serve serve)
    : m_serve(std::move(serve))
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 16) != 0) {
        if (m_listen >= 0)
            ::close(m_listen);
        throw std::runtime_error(std::string(owner) + ": cannot listen on 127.0.0.1");
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LoopbackListener::~LoopbackListener()
{
    stop();
}

void LoopbackListener::stop()
{
    m_stop = true;
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::lock_guard lock(m_mutex);
    for (std::thread &t : m_workers)
        t.join();
    m_workers.clear();
    if (m_listen >= 0) {
        ::close(m_listen);
        m_listen = -1;
    }
}

void LoopbackListener::acceptLoop()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_workers.emplace_back([this, fd] {
            m_serve(fd);
            ::close(fd);
        });
    }
}
