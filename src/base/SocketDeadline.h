#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

class AbortToken;

// An overall deadline for a blocking exchange that a library runs on sockets of its own, such as an ODBC driver's
// connect and login: its own time-outs only bound silence, so a server that answers one byte at a time holds it
// for as long as it likes. When the deadline passes or the stop token trips while the guard lives, the TCP
// connections the process opened since the guard began (to the given port; 0: any) are shut down, and the
// library's next read fails at once.
class SocketDeadline
{
  public:
    SocketDeadline(int limitMs, quint16 port, AbortToken &token);
    ~SocketDeadline();
    SocketDeadline(const SocketDeadline &) = delete;
    SocketDeadline &operator=(const SocketDeadline &) = delete;

    // Whether the deadline passed (the connections were cut).
    bool expired() const;

  private:
    void cut();

    quint16 m_port;
    AbortToken &m_token;
    std::set<unsigned long> m_before; // the socket inodes open when the guard began
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    bool m_expired = false;
    std::thread m_thread;
};
