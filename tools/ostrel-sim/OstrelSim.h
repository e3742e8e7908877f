#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class QSslConfiguration;

// A local stand-in for the trip planning service: an HTTP server on 127.0.0.1 that answers xmlRequest the way
// the real (Axis-style, SOAP 1.1 RPC/encoded) service does, with scripted replies, faults, broken replies,
// delays and hangs, and a record of every request.
//
// The server runs in a thread of its own, so a test whose thread blocks in External_::xmlRequest is still
// answered. Every member may be called from any thread.
//
// Typical use in a test:
//     OstrelSim sim;
//     ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
//     sim.queueReply("RetrieveTrips", OstrelSim::retrieveTripsReply({.count = 3}));
//     controls.setText(Control::xSoapServer, sim.url());
//     ... run the operation ...
//     EXPECT_EQ(sim.requests().at(1).action, "ConfirmTrips");
//
// Choosing the answer of a SOAP call, first match wins:
//   1. the next scripted step queued for the call's action (the first <name> of its kwp document);
//   2. the next scripted step queued for any action (action "");
//   3. the default reply set for the action (setDefaultReply, or <Action>.xml of a script folder);
//   4. the built-in answer: RetrieveTrips gives the generated trips (setGeneratedTrips; none by default), the
//      four reference-list actions give fixed lists, ConfirmTrips, SendStatus and processTrips give a reply with
//      status 200, and any other action a reply with status 400.
// Calls without a SOAPAction header, with a body that is not an envelope, or for an operation other than
// {http://_external}xmlRequest get a SOAP fault with HTTP 500, as the real server does.
class OstrelSim {
public:
    // A raw HTTP answer for fault cases. When wire is not empty it is sent exactly as it stands (status line,
    // headers and body) and the other fields are ignored.
    struct RawReply {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray wire;
    };

    // One recorded request.
    struct Request {
        QDateTime at;
        QByteArray method;
        QByteArray path;                              // path and query as sent
        QList<QPair<QByteArray, QByteArray>> headers; // as received, in order
        QByteArray body;                              // the raw body (the SOAP envelope)
        QString kwp;                                  // the unescaped xml parameter; empty when none
        QString action;                               // the first <name> of kwp
        // The value of the first header of that name (case ignored); a null array when absent.
        QByteArray header(const QByteArray &name) const;
    };

    // The trips of a generated RetrieveTrips reply. Trip i (0-based) gets id firstId + i; its action is DELETE
    // when deleteEvery > 0 and (i + 1) is a multiple of it, else UPDATE when updateEvery > 0 and (i + 1) is a
    // multiple of that, else INSERT; a non-empty action overrides all of them. Dates start at start, one
    // quarter of an hour apart. The reply is indented with tabs and line breaks, as the service sends it.
    struct TripGeneration {
        int count = 0;
        int firstId = 100001;
        int updateEvery = 0;
        int deleteEvery = 0;
        QString action;
        QDateTime start = QDateTime(QDate(2013, 5, 14), QTime(8, 0));
    };

    OstrelSim();
    ~OstrelSim();
    OstrelSim(const OstrelSim &) = delete;
    OstrelSim &operator=(const OstrelSim &) = delete;

    // Listens on 127.0.0.1 (port 0: a free port). False on failure; errorString() says why.
    bool start(quint16 port = 0);
    // The same over TLS with this certificate and private key (PEM); url() then starts with "https://".
    bool startTls(const QByteArray &certificatePem, const QByteArray &keyPem, quint16 port = 0);
    // Closes every connection (also those that hang) and the listening socket. Called by the destructor.
    void stop();
    QString errorString() const;
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT" ("https://" over TLS)
    QString url() const;     // baseUrl() + "/_external/external.cfc"

    // Scripted steps, first in first out per action; action "" matches any action. delayMs holds the answer
    // back that long (other connections are served meanwhile).
    void queueReply(const QString &action, const QString &kwp, int delayMs = 0);
    // A reply whose string is null (xsi:nil="true").
    void queueNil(const QString &action, int delayMs = 0);
    // HTTP 500 with a SOAP fault: faultcode soapenv:Server.userException, the faultstring, and a detail naming
    // CFCInvocationException when cfcDetail is true.
    void queueFault(const QString &action, const QString &faultString, bool cfcDetail = true, int delayMs = 0);
    void queueRaw(const QString &action, const RawReply &reply, int delayMs = 0);
    // The request is read and never answered; the connection stays open until the client gives up or stop().
    void queueHang(const QString &action);
    // The connection is closed without an answer.
    void queueDrop(const QString &action);
    // Forgets every queued step and default reply.
    void clearScript();
    // Steps still queued (all actions).
    int pendingSteps() const;

    // The reply used for the action when no step is queued (replaces the built-in answer).
    void setDefaultReply(const QString &action, const QString &kwp);
    // The trips the built-in RetrieveTrips answer carries.
    void setGeneratedTrips(const TripGeneration &generation);
    // A delay added to every answer that has none of its own.
    void setDefaultDelay(int delayMs);
    // Plain replies (no delay) keep the connection open for the next request, as a server with keep-alive does;
    // every other answer still closes it. Off by default: one connection per request.
    void setKeepAlive(bool keep);
    // Reads a folder: "<Action>.xml" becomes the action's default reply; "<Action>.<n>.xml" (a kwp reply),
    // "<Action>.<n>.fault" (a faultstring) and "<Action>.<n>.http" (raw HTTP bytes) are queued in order of n.
    // False when the folder cannot be read.
    bool loadScriptFolder(const QString &folder);

    // Static files for GET requests (the update check): exact path ("/liveupdate/x/Updates.txt"), or every file
    // under a folder served below a path prefix.
    void serveFile(const QString &path, const QByteArray &content,
                   const QByteArray &contentType = "application/octet-stream");
    void serveFolder(const QString &pathPrefix, const QString &folder);

    // The record of every request, SOAP or not, in arrival order. A request is recorded before it is answered.
    QList<Request> requests() const;
    int requestCount() const;
    // Blocks until at least count requests are recorded or timeoutMs passes; false on time-out.
    bool waitForRequests(int count, int timeoutMs) const;
    void clearRequests();
    // Appends every request to this file as well (time, method, path, action, headers, kwp).
    void setRecordFile(const QString &path);

    // The texts the simulator sends, for tests and benchmarks that need them without a server.
    static QString retrieveTripsReply(const TripGeneration &generation);
    // A reply kwp with the action name and status 200 and nothing else.
    static QString acceptedReply(const QString &action);
    // A kwp reply with the action name and a status of choice.
    static QString statusReply(const QString &action, const QString &status);
    // The built-in reference list of one of the four reference-list actions (empty for other actions).
    static QString referenceListReply(const QString &action);
    // Axis-style envelopes.
    static QByteArray responseEnvelope(const QString &kwp);
    static QByteArray nilEnvelope();
    static QByteArray faultEnvelope(const QString &faultString, bool cfcDetail);

    class Private;

private:
    bool startListening(quint16 port, bool tls, const QSslConfiguration &configuration);
    std::unique_ptr<Private> d;
};
