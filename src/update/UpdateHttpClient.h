#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QSslCertificate>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QIODevice;
class QNetworkReply;
class QObject;

// Outcome of one request of the update client.
struct HttpResult {
    enum class Outcome {
        Ok,          // a response arrived (also 401 and 407, whose body counts as the document)
        HttpFailure, // status 400 or higher (not 401/407), or host unreachable / transfer broken / aborted (404)
        OtherError,  // anything else: unsupported address, refused redirect, body too large, not stored
    };
    Outcome outcome = Outcome::OtherError;
    int statusCode = 0;
    QString reasonPhrase;          // of an HTTP failure: the server's phrase, or the description of a network failure
    QString errorText;             // of another error
    QList<QByteArray> headerLines; // "Name: value", in the order received
    qint64 bodyBytes = 0;
    bool tooLarge = false; // more than maxBodyBytes arrived or was announced; the transfer was stopped
    bool closing = false;  // aborted because the program closes
    bool ok() const { return outcome == Outcome::Ok; }
};

class AbortToken;
class NetworkConnections;
class NetworkTransfer;
struct NetworkResult;

// The HTTP client of the update dialogs: User-Agent "Mozilla/4.0 (compatible; ICS)", the old browser Accept header,
// "Pragma: no-cache", at most 5 redirects in a row (never from https to anything else), the proxy of the component
// (empty host: direct), no authentication, certificates checked against the system's authorities. Its requests go
// over the program's network connections, bounded as every request there is (no progress, overall limit, size,
// the program's stop); when the program closes, every waiting request is aborted at once.
class UpdateHttpClient
{
  public:
    UpdateHttpClient(NetworkConnections &network, AbortToken &stop);
    ~UpdateHttpClient();
    UpdateHttpClient(const UpdateHttpClient &) = delete;
    UpdateHttpClient &operator=(const UpdateHttpClient &) = delete;

    QString ProxyHost;
    QString ProxyPort = QStringLiteral("80");
    // A transfer that receives nothing for this long ends as a network failure.
    int transferTimeoutMs = 60000;
    // A request (with its redirects) that has not ended after this long is aborted as a network failure.
    int overallTimeoutMs = 120000;
    // A body larger than this stops the transfer (-1: no limit).
    qint64 maxBodyBytes = -1;
    // Authorities trusted beside the system's.
    QList<QSslCertificate> extraCaCertificates;

    // GET url and wait for it without running the caller's event loop; the body of the final response goes into
    // sink (may be null).
    HttpResult get(const QString &url, QIODevice *sink);
    HttpResult head(const QString &url);

    // GET url while the caller's event loop runs on (a dialog's): onData gets the body bytes received so far and
    // onEnd the end, both on context's thread. end() then hands over the result; it must be called before context
    // or sink goes.
    void begin(const QString &url, QIODevice *sink, QObject *context, std::function<void(qint64)> onData,
               std::function<void()> onEnd);
    // Waits for the request begun (without running the caller's event loop) and returns its outcome.
    HttpResult end();

    // Aborts the running request (callable from any thread); it then ends as an HTTP failure with status 404.
    void abort();
    qint64 bytesReceived() const { return m_received; }

    // Whether the program closes (its stop has tripped): a running request is then aborted, and later requests
    // fail at once.
    bool closing() const;

  private:
    struct Hop;
    HttpResult run(const QByteArray &method, const QString &url, QIODevice *sink);
    // The first request of a run; false (with m_result set) when there is none to make.
    bool startRun(const QByteArray &method, const QString &url, QIODevice *sink);
    // Sends the request of the current hop; waits for it when context is null.
    std::shared_ptr<NetworkTransfer> send(QObject *context, std::function<void()> onEnd);
    // What a hop's response means: true when the run goes on with the next hop (a redirect).
    bool nextHop(const NetworkResult &response);
    void beginHop(QObject *context, std::function<void()> onEnd);

    NetworkConnections &m_network;
    AbortToken &m_stop;
    std::unique_ptr<Hop> m_hop;
    HttpResult m_result;
    std::atomic<qint64> m_received{0};
    std::atomic<bool> m_aborted{false};
    QMutex m_mutex;
    std::shared_ptr<NetworkTransfer> m_transfer; // guarded by m_mutex
};
