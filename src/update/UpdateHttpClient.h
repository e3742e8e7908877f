#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
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
        OtherError,  // anything else: unsupported address, the body could not be stored
    };
    Outcome outcome = Outcome::OtherError;
    int statusCode = 0;
    QString reasonPhrase;          // of an HTTP failure: the server's phrase, or the description of a network failure
    QString errorText;             // of another error
    QList<QByteArray> headerLines; // "Name: value", in the order received
    qint64 bodyBytes = 0;
    bool ok() const { return outcome == Outcome::Ok; }
};

// The HTTP client of the update dialogs: User-Agent "Mozilla/4.0 (compatible; ICS)", the old browser Accept header,
// "Pragma: no-cache", at most 5 redirects in a row, the proxy of the component (empty host: direct), no
// authentication. Each request runs to its end on a worker thread with its own network manager while the caller
// waits: either blocked (no event of the program runs in between) or in a local event loop (so a dialog stays live).
class UpdateHttpClient
{
  public:
    enum class Wait { Blocking, ProcessEvents };

    QString ProxyHost;
    QString ProxyPort = QStringLiteral("80");
    // A transfer that receives nothing for this long ends as a network failure.
    int transferTimeoutMs = 60000;

    // GET url; the body of the final response goes into sink (may be null). onData is called on the caller's thread
    // with the body bytes received so far, only while waiting with Wait::ProcessEvents.
    HttpResult get(const QString &url, QIODevice *sink, Wait wait = Wait::Blocking,
                   std::function<void(qint64)> onData = {});
    HttpResult head(const QString &url);

    // Aborts the running request (callable from any thread); it then ends as an HTTP failure with status 404.
    void abort();
    qint64 bytesReceived() const { return m_received; }

  private:
    HttpResult run(const QByteArray &method, const QString &url, QIODevice *sink, Wait wait,
                   const std::function<void(qint64)> &onData);
    HttpResult perform(const QByteArray &method, const QString &url, QIODevice *sink, QObject *progressContext,
                       const std::function<void(qint64)> &onData);

    std::atomic<qint64> m_received{0};
    std::atomic<bool> m_aborted{false};
    QMutex m_mutex;
    QNetworkReply *m_reply = nullptr; // guarded by m_mutex
};
