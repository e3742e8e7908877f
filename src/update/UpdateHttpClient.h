#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QSslCertificate>
#include <QString>

#include <atomic>
#include <functional>

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

// The HTTP client of the update dialogs: User-Agent "Mozilla/4.0 (compatible; ICS)", the old browser Accept header,
// "Pragma: no-cache", at most 5 redirects in a row (never from https to anything else), the proxy of the component
// (empty host: direct), no authentication, certificates checked against the system's authorities. Each request runs
// on a worker thread with its own network manager while the caller's thread processes its events in a local loop,
// so the window stays live; when the program closes, every waiting request is aborted at once.
class UpdateHttpClient
{
  public:
    UpdateHttpClient();
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

    // GET url; the body of the final response goes into sink (may be null). onData is called on the caller's thread
    // with the body bytes received so far.
    HttpResult get(const QString &url, QIODevice *sink, std::function<void(qint64)> onData = {});
    HttpResult head(const QString &url);

    // Aborts the running request (callable from any thread); it then ends as an HTTP failure with status 404.
    void abort();
    qint64 bytesReceived() const { return m_received; }

    // Whether the program closes (its AbortToken has tripped): a running request is then aborted, and later
    // requests fail at once.
    static bool closing();

  private:
    HttpResult run(const QByteArray &method, const QString &url, QIODevice *sink,
                   const std::function<void(qint64)> &onData);
    HttpResult perform(const QByteArray &method, const QString &url, QIODevice *sink, QObject *progressContext,
                       const std::function<void(qint64)> &onData);

    std::atomic<qint64> m_received{0};
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_timedOut{false};
    QMutex m_mutex;
    QNetworkReply *m_reply = nullptr; // guarded by m_mutex
};
