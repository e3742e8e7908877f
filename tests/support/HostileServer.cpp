#include "support/HostileServer.h"

#include <QList>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

namespace
{

// False once the client has gone (or the server stops).
bool sendAll(int fd, const char *data, qsizetype size)
{
    qsizetype sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size_t(size - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// Waits up to ms for the client to close (or send); true when it has gone.
bool clientGone(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return false;
    char c;
    return ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

// Reads one request (headers and a body of its Content-Length); false when the connection ends first.
bool readRequest(int fd, QByteArray &pending, const std::function<bool()> &stop)
{
    auto fill = [&] {
        while (!stop()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) == 0)
                continue;
            char buffer[16384];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            pending.append(buffer, n);
            return true;
        }
        return false;
    };
    qsizetype end = -1;
    while ((end = pending.indexOf("\r\n\r\n")) < 0) {
        if (!fill())
            return false;
    }
    qint64 length = 0;
    for (const QByteArray &line : pending.left(end).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    while (pending.size() < end + 4 + length) {
        if (!fill())
            return false;
    }
    pending.remove(0, end + 4 + length);
    return true;
}

} // namespace

HostileServer::HostileServer(Script script, bool keepAlive)
    : m_script(std::move(script))
    , m_keepAlive(keepAlive)
    , m_listener("HostileServer", [this](int fd) { serve(fd); })
{
}

HostileServer::~HostileServer()
{
    m_listener.stop();
}

void HostileServer::setLaterScript(int fromRequest, Script script)
{
    m_laterFrom = fromRequest;
    m_laterScript = std::move(script);
}

QString HostileServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(m_listener.port());
}

QByteArray HostileServer::head(qint64 contentLength, const QByteArray &contentType, bool keepAlive, int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Internal Server Error") +
           "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(contentLength) +
           "\r\nConnection: " + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n";
}

QByteArray HostileServer::chunkedHead(const QByteArray &contentType)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: " + contentType +
           "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
}

QByteArray HostileServer::envelope(const QByteArray &inner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
           "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body><ns1:xmlRequestResponse "
           "xmlns:ns1=\"http://_external\"><xmlRequestReturn>" +
           inner + "</xmlRequestReturn></ns1:xmlRequestResponse></soapenv:Body></soapenv:Envelope>";
}

void HostileServer::serve(int fd)
{
    ++m_connections;
    const auto stopping = [this] { return m_listener.stopping(); };
    QByteArray pending;
    bool open = true;
    while (open && !stopping() && readRequest(fd, pending, stopping)) {
        const int number = ++m_requests;
        const Script &script = m_laterFrom > 0 && number >= m_laterFrom ? m_laterScript : m_script;
        for (const Step &step : script) {
            if (!open || stopping())
                break;
            switch (step.kind) {
            case Step::Send:
                open = sendAll(fd, step.bytes.constData(), step.bytes.size());
                break;
            case Step::Pause:
                open = !clientGone(fd, step.ms);
                break;
            case Step::Close:
                open = false;
                break;
            case Step::Reset: {
                linger hard{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                open = false;
                break;
            }
            case Step::Trickle:
                for (qsizetype i = 0; open && !stopping(); ++i) {
                    open = sendAll(fd, step.bytes.constData() + i % step.bytes.size(), 1) && !clientGone(fd, step.ms);
                }
                break;
            case Step::Endless:
                while (open && !stopping())
                    open = sendAll(fd, step.bytes.constData(), step.bytes.size());
                break;
            case Step::Hold:
                while (!stopping() && !clientGone(fd, 50)) {
                }
                open = false;
                break;
            }
        }
        if (!m_keepAlive)
            break;
    }
}
