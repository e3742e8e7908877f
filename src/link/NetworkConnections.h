#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class AbortToken;
class QObject;

// One HTTP request as the program sends it: the service's SOAP calls and the update client's downloads.
struct NetworkRequest {
    QByteArray method = "POST"; // POST, GET or HEAD
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    // The body of a POST. It can be read once only, so the network layer never sends the request a second time by
    // itself (it would resend a POST whose connection closed before the reply, and the service would receive a
    // status event or confirmation twice); such a case fails the request instead.
    QByteArray body;
    // Accept the certificate faults that the setting xCertNegeren relaxes (unknown issuer, other host name,
    // expired or not yet valid). Off: the platform's certificate checks apply in full.
    bool relaxedCertificates = false;
    // Authorities trusted beside the system's.
    QList<QSslCertificate> extraCaCertificates;
    // Set: this proxy (NoProxy: direct), on connections of the request's own. Unset: the system's proxy settings.
    std::optional<QNetworkProxy> proxy;
    // Requests to the same host share kept-alive connections and TLS sessions (one set per certificate mode). Off,
    // or with a proxy of its own: the request gets connections of its own that end with it.
    bool keepConnections = false;
    // Kept connections idle for longer than this are closed instead of used.
    int idleConnectionLimitMs = 2000;
    // The body of a redirect (3xx with a Location) goes nowhere: whoever follows it wants the next one's.
    bool discardRedirectBodies = false;
};

// What bounds one request. Each limit ends the request with its own stop.
struct NetworkLimits {
    // No byte moves in either direction for this long.
    int noProgressMs = 60 * 1000;
    // The whole request, from sending to the last byte of the response (0: none).
    int overallMs = 5 * 60 * 1000;
    // The response body as it arrives (announced or received; -1: none).
    qint64 maxBytes = -1;
    // The token whose trip stops the request (null: nothing stops it but the limits). A request that has not gone
    // out yet fails at once; one already on the wire may still finish for stopGraceMs, and fails only then.
    AbortToken *stop = nullptr;
    int stopGraceMs = 0;
};

// Where the response body goes. Without write, it is collected in NetworkResult::body (reserved at its announced
// size), and the process's growth beyond it is watched; with write, each piece goes there as it arrives (false:
// the request ends with Stop::WriteFailed). progress gets the body bytes so far. Both run on the network thread.
struct NetworkSink {
    std::function<bool(const QByteArray &data)> write;
    std::function<void(qint64 received)> progress;
};

struct NetworkResult {
    enum class Stop { None, NoProgress, Overall, TooLarge, Aborted, Cancelled, WriteFailed };
    Stop stop = Stop::None;
    bool stopAsked = false; // the stop token tripped during the request
    // No HTTP status arrived, or the transfer broke after it (a stop included).
    bool networkFailed = false;
    QString errorText; // of a network failure that is not a stop: the platform's words
    int status = 0;
    QString reasonPhrase;
    QString contentType;
    qint64 announcedLength = -1;  // Content-Length, -1 when none
    bool identityEncoding = true; // no Content-Encoding (or identity): the announced length is the body's
    bool serverCloses = false;    // the server said it closes the connection
    bool resendRefused = false;   // the connection closed before the answer; the request was not sent again
    QList<QByteArray> headerLines; // "Name: value", in the order received
    QByteArray location;           // the Location header, as received
    QByteArray body;               // without a sink's write
    qint64 received = 0;           // body bytes received
    bool requestWritten = false;   // the last byte of the request has gone to the connection
    bool answerBegun = false;      // a byte of the answer has arrived
    bool reusedConnection = false; // the request went over a connection kept from an earlier one
};

// The one request under way; made by NetworkConnections::begin.
class NetworkTransfer
{
  public:
    virtual ~NetworkTransfer() = default;
    // Ends the request as Stop::Cancelled, from any thread.
    virtual void cancel() = 0;
    // Waits for the end without running the caller's event loop, and hands over the result (once).
    virtual NetworkResult wait() = 0;
    // Whether the request has ended.
    virtual bool finished() const = 0;
};

// The program's network connections: one thread with its own event loop that runs every request, and owns the
// kept-alive connections and TLS sessions, so they outlive the calls (a caller blocks during its call and cannot
// keep them). One set of kept connections per certificate mode: a connection whose certificate faults were let
// pass is never reused by a call that checks in full. The thread's event loop runs between calls too, so a
// connection the server closes is noticed (and not reused) before the next request goes out.
//
// Made once by the program and handed to whoever sends requests. Every request is bounded by its limits and its
// stop token the same way, whoever sends it.
class NetworkConnections
{
  public:
    NetworkConnections();
    ~NetworkConnections(); // aborts what still runs and ends the thread
    NetworkConnections(const NetworkConnections &) = delete;
    NetworkConnections &operator=(const NetworkConnections &) = delete;

    // Sends the request and returns at once. onEnd (if any) runs on context's thread once the request has ended,
    // while context lives.
    std::shared_ptr<NetworkTransfer> begin(const NetworkRequest &request, const NetworkLimits &limits,
                                           NetworkSink sink = {}, QObject *context = nullptr,
                                           std::function<void()> onEnd = {});
    // Sends the request and waits for its end without running the caller's event loop.
    NetworkResult exchange(const NetworkRequest &request, const NetworkLimits &limits, NetworkSink sink = {});

    // The next request does not use the connections kept for this certificate mode.
    void forgetKeptConnections(bool relaxedCertificates);

    class Thread;

  private:
    std::unique_ptr<Thread> m_thread;
};
