#include "base/SocketDeadline.h"

#include "base/AbortToken.h"
#include "base/ProcessSockets.h"

#include <chrono>

SocketDeadline::SocketDeadline(int limitMs, quint16 port, AbortToken &token)
    : m_port(port)
    , m_token(token)
{
    m_before = OpenSocketIds();
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
    ShutDownNewConnections(m_before, m_port);
}
