#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

// The listening side of the test servers: a socket on 127.0.0.1 (a free port) and an accept loop on a thread of its
// own. Every accepted connection is served on a thread of its own by `serve`, and closed when `serve` returns.
// stop() (also at destruction) ends the accept loop and waits for every connection's thread; `serve` should return
// soon once stopping() is true.
class LoopbackListener
{
  public:
    using Serve = std::function<void(int fd)>;

    // Throws std::runtime_error "<owner>: cannot listen on 127.0.0.1" when no port can be had.
    LoopbackListener(const char *owner, Serve serve);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    quint16 port() const { return m_port; }
    bool stopping() const { return m_stop; }
    void stop();

  private:
    void acceptLoop();

    Serve m_serve;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};
