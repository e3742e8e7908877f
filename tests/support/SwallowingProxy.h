#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

// A path between the client and the service that drops idle connections without a word, as NAT and firewalls do:
// it listens on 127.0.0.1 (a free port) and forwards both ways to the service's port, but once a connection has
// been idle for longer than idleMs it is swallowed: what arrives on it afterwards is read and dropped, nothing is
// forwarded and nothing is closed.
class SwallowingProxy
{
  public:
    SwallowingProxy(const QString &serviceUrl, int idleMs);
    ~SwallowingProxy();
    SwallowingProxy(const SwallowingProxy &) = delete;
    SwallowingProxy &operator=(const SwallowingProxy &) = delete;

    // The service's URL with the proxy's port.
    QString url() const;
    int connections() const { return m_connections; }
    // Pieces of data swallowed, in either direction.
    int swallowed() const { return m_swallowed; }

  private:
    struct Pair {
        int client;
        int service;
        std::chrono::steady_clock::time_point active;
        bool swallowing = false;
    };

    int connectToService() const;
    void loop();

    QString m_service;
    int m_idleMs;
    int m_listen = -1;
    quint16 m_port = 0;
    std::vector<Pair> m_pairs;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_swallowed{0};
    std::thread m_thread;
};
