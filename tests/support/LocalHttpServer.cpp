#include "support/LocalHttpServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <thread>

// One connection, plain or TLS.
struct LocalHttpServer::Connection {
    int fd = -1;
    SSL *tls = nullptr;

    ssize_t receive(char *buf, size_t size)
    {
        if (!tls)
            return ::recv(fd, buf, size, 0);
        const int n = SSL_read(tls, buf, int(size));
        return n > 0 ? n : -1;
    }
    bool pending() const { return tls && SSL_pending(tls) > 0; }
};

namespace
{

bool sendAll(LocalHttpServer::Connection &c, const QByteArray &data)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = c.tls ? SSL_write(c.tls, data.constData() + sent, int(data.size() - sent))
                                : ::send(c.fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

} // namespace

QByteArray LocalHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &[n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

LocalHttpServer::LocalHttpServer()
    : m_listener("LocalHttpServer", [this](int fd) { serveConnection(fd); })
{
}

LocalHttpServer::~LocalHttpServer()
{
    m_stop = true;
    release();
    m_listener.stop();
    if (m_tls)
        SSL_CTX_free(m_tls);
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(m_tls ? "https" : "http").arg(m_listener.port()).arg(path);
}

bool LocalHttpServer::useTls(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    std::unique_ptr<BIO, decltype(&BIO_free)> certBio(
        BIO_new_mem_buf(certificatePem.constData(), int(certificatePem.size())), &BIO_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(BIO_new_mem_buf(keyPem.constData(), int(keyPem.size())),
                                                     &BIO_free);
    X509 *cert = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr);
    EVP_PKEY *key = PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr);
    const bool ok = ctx && cert && key && SSL_CTX_use_certificate(ctx, cert) == 1 &&
                    SSL_CTX_use_PrivateKey(ctx, key) == 1 && SSL_CTX_check_private_key(ctx) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    if (!ok) {
        SSL_CTX_free(ctx);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_tls = ctx;
    return true;
}

void LocalHttpServer::serve(const QByteArray &path, const Response &response)
{
    std::lock_guard lock(m_mutex);
    m_responses[path] = response;
}

void LocalHttpServer::serveFile(const QByteArray &path, const QByteArray &body)
{
    Response r;
    r.body = body;
    serve(path, r);
}

void LocalHttpServer::redirect(const QByteArray &path, const QByteArray &location, int status)
{
    Response r;
    r.status = status;
    r.reason = "Moved";
    r.headers = {{"Location", location}};
    r.body = "verplaatst";
    serve(path, r);
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requestsFor(const QByteArray &path) const
{
    std::vector<Request> found;
    for (const Request &r : requests())
        if (r.path == path)
            found.push_back(r);
    return found;
}

void LocalHttpServer::release()
{
    std::lock_guard lock(m_mutex);
    m_isReleased = true;
    m_released.notify_all();
}

void LocalHttpServer::serveConnection(int fd)
{
    SSL *tls = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_tls)
            tls = SSL_new(m_tls);
    }
    Connection c{fd, tls};
    if (!tls) {
        handle(c);
        return;
    }
    SSL_set_fd(tls, fd);
    // A client that refuses the certificate ends the handshake; there is nothing to answer then.
    if (SSL_accept(tls) == 1) {
        handle(c);
        SSL_shutdown(tls);
    }
    SSL_free(tls);
}

void LocalHttpServer::handle(Connection &c)
{
    QByteArray head;
    char buf[4096];
    while (!head.contains("\r\n\r\n")) {
        pollfd p{c.fd, POLLIN, 0};
        if (!c.pending() && (m_stop || ::poll(&p, 1, 50) < 0))
            return;
        if (!c.pending() && !(p.revents & POLLIN))
            continue;
        const ssize_t n = c.receive(buf, sizeof buf);
        if (n <= 0)
            return;
        head.append(buf, n);
    }
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    request.path = request.target;
    if (request.path.startsWith("http://")) {
        const qsizetype slash = request.path.indexOf('/', 7);
        request.path = slash < 0 ? QByteArray("/") : request.path.mid(slash);
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    Response response;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        const auto it = m_responses.constFind(request.path);
        if (it != m_responses.constEnd()) {
            response = *it;
        } else {
            response.status = 404;
            response.reason = "Not Found";
            response.body = "niet gevonden";
        }
    }

    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto &[name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    if (request.method == "HEAD" && response.headContentLength >= 0)
        out += "Content-Length: " + QByteArray::number(response.headContentLength) + "\r\n";
    else if (response.sendContentLength)
        out += "Content-Length: " +
               QByteArray::number(response.announcedLength >= 0 ? response.announcedLength : response.body.size()) +
               "\r\n";
    out += "Connection: close\r\n\r\n";
    if (request.method == "HEAD") {
        sendAll(c, out);
        return;
    }
    if (response.trickleMs > 0) {
        if (!sendAll(c, out))
            return;
        for (qsizetype i = 0; i < response.body.size() && !m_stop; ++i) {
            if (!sendAll(c, response.body.mid(i, 1)))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(response.trickleMs));
        }
        return;
    }
    if (response.stallAfter < 0) {
        sendAll(c, out + response.body);
        return;
    }
    sendAll(c, out + response.body.left(response.stallAfter));
    if (onStalled)
        onStalled();
    std::unique_lock lock(m_mutex);
    m_released.wait(lock, [this] { return m_isReleased || m_stop; });
}
