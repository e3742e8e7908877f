#pragma once

#include "support/LoopbackListener.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <vector>

// A service that misbehaves on purpose, on 127.0.0.1 (a free port), on threads of its own: every request on a
// connection is read whole and answered by the same script of steps, sent byte for byte as written (a body
// shorter than its Content-Length, a reset in the middle of a body, a trickle, an endless body). After the script
// the connection stays open for the next request when keepAlive is set, else it is closed.
class HostileServer
{
  public:
    struct Step {
        enum Kind {
            Send,    // bytes
            Pause,   // ms
            Close,   // an orderly close (FIN)
            Reset,   // an abortive close (RST)
            Trickle, // one byte of bytes (cycled) every ms, until the client goes
            Endless, // bytes over and over, as fast as the client reads, until the client goes
            Hold,    // nothing more, until the client goes
        };
        Kind kind;
        QByteArray bytes = {};
        int ms = 0;
    };
    using Script = std::vector<Step>;

    explicit HostileServer(Script script, bool keepAlive = false);
    ~HostileServer();
    HostileServer(const HostileServer &) = delete;
    HostileServer &operator=(const HostileServer &) = delete;

    // The requests from the fromRequest-th on (counted over all connections, from 1) follow this script instead.
    // Set before the first request.
    void setLaterScript(int fromRequest, Script script);

    QString url() const;
    int connections() const { return m_connections; }
    int requests() const { return m_requests; }

    // A status line and headers for a body of that many bytes ("Connection: keep-alive" or "close").
    static QByteArray head(qint64 contentLength, const QByteArray &contentType = "text/xml; charset=utf-8",
                           bool keepAlive = false, int status = 200);
    // The same for a chunked body.
    static QByteArray chunkedHead(const QByteArray &contentType = "text/xml; charset=utf-8");
    // A whole SOAP reply whose return element holds inner (raw markup, not escaped).
    static QByteArray envelope(const QByteArray &inner);

  private:
    void serve(int fd);

    Script m_script;
    int m_laterFrom = 0;
    Script m_laterScript;
    bool m_keepAlive;
    std::atomic<int> m_connections{0};
    std::atomic<int> m_requests{0};
    LoopbackListener m_listener; // last: its connections use the members above
};
