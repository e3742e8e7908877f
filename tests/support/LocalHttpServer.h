#pragma once

#include "support/LoopbackListener.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

struct ssl_ctx_st;

// A small HTTP server for tests on 127.0.0.1 (a free port), running on its own threads: it serves scripted
// responses by path, records every request and closes the connection after each response. With useTls it speaks
// https only.
class LocalHttpServer
{
  public:
    struct Response {
        int status = 200;
        QByteArray reason = "OK";
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        bool sendContentLength = true;
        qint64 announcedLength = -1;   // Content-Length to announce instead of the body size
        qint64 headContentLength = -1; // Content-Length a HEAD request is told, when it differs
        qint64 stallAfter = -1;        // send this many body bytes, call onStalled, wait for release() (or the end)
        int trickleMs = 0;             // send the body one byte at a time, this long apart
    };
    struct Request {
        QByteArray method;
        QByteArray target; // as on the request line (absolute through a proxy)
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray &name) const;
    };

    LocalHttpServer();
    ~LocalHttpServer();

    quint16 port() const { return m_listener.port(); }
    QString url(const QString &path) const; // "http://127.0.0.1:PORT" + path ("https://" with TLS)

    // Serves every later connection over TLS with this certificate and private key (PEM). False when they are not
    // usable.
    bool useTls(const QByteArray &certificatePem, const QByteArray &keyPem);

    void serve(const QByteArray &path, const Response &response);
    void serveFile(const QByteArray &path, const QByteArray &body);
    void redirect(const QByteArray &path, const QByteArray &location, int status = 302);

    std::vector<Request> requests() const;
    std::vector<Request> requestsFor(const QByteArray &path) const;

    // Called on a server thread once a stalling response has sent its first bytes.
    std::function<void()> onStalled;
    void release();

    struct Connection; // one accepted connection, plain or TLS

  private:
    void serveConnection(int fd);
    void handle(Connection &c);

    ssl_ctx_st *m_tls = nullptr;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_isReleased = false;
    QMap<QByteArray, Response> m_responses;
    std::vector<Request> m_requests;
    LoopbackListener m_listener; // last: its connections use the members above
};
