#include "OstrelSim.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>
#include <QXmlStreamReader>

#include <atomic>
#include <deque>
#include <optional>

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
constexpr qsizetype kMaxBodyBytes = 512 * 1024 * 1024;
constexpr const char *kServicePath = "/_external/external.cfc";

struct Step {
    enum Kind { Reply, Nil, Fault, Raw, Hang, Drop };
    Kind kind = Reply;
    QString text;
    bool cfcDetail = true;
    OstrelSim::RawReply raw;
    int delayMs = -1; // -1: the default delay
};

struct StaticFile {
    QByteArray content;
    QByteArray contentType;
};

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

QByteArray wireOf(const OstrelSim::RawReply &raw)
{
    if (!raw.wire.isEmpty())
        return raw.wire;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(raw.status) + ' ' + raw.reason + "\r\n";
    if (!raw.contentType.isEmpty())
        out += "Content-Type: " + raw.contentType + "\r\n";
    for (const auto &[name, value] : raw.headers)
        out += name + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(raw.body.size()) + "\r\nConnection: close\r\n\r\n";
    out += raw.body;
    return out;
}

OstrelSim::RawReply soapReply(int status, const QByteArray &envelope)
{
    OstrelSim::RawReply raw;
    raw.status = status;
    raw.reason = reasonFor(status);
    raw.contentType = "text/xml; charset=utf-8";
    raw.body = envelope;
    return raw;
}

QString firstName(const QString &kwp)
{
    const qsizetype a = kwp.indexOf(QLatin1String("<name>"));
    const qsizetype b = kwp.indexOf(QLatin1String("</name>"));
    if (a < 0 || b < a + 6)
        return {};
    return kwp.mid(a + 6, b - a - 6);
}

// Reads an xmlRequest envelope the way the service does: the body's first element must be
// {http://_external}xmlRequest; its "xml" child carries the document. Returns a fault text, or empty on success.
QString readEnvelope(const QByteArray &body, QString &kwp)
{
    QXmlStreamReader reader(body);
    const QLatin1String envNs("http://schemas.xmlsoap.org/soap/envelope/");
    int depth = 0;
    bool inBody = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (depth == 1 && (reader.namespaceUri() != envNs || reader.name() != QLatin1String("Envelope")))
            return QStringLiteral("No SOAP envelope: %1").arg(reader.qualifiedName());
        if (depth == 2 && reader.namespaceUri() == envNs && reader.name() == QLatin1String("Body")) {
            inBody = true;
            continue;
        }
        if (depth == 3 && inBody) {
            if (reader.namespaceUri() != QLatin1String("http://_external") ||
                reader.name() != QLatin1String("xmlRequest"))
                return QStringLiteral("No such operation '%1'").arg(reader.name());
            while (!reader.atEnd()) {
                const auto inner = reader.readNext();
                if (inner == QXmlStreamReader::EndElement)
                    break;
                if (inner != QXmlStreamReader::StartElement)
                    continue;
                if (reader.name() == QLatin1String("xml") && reader.namespaceUri().isEmpty())
                    kwp = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                else
                    reader.skipCurrentElement();
            }
            --depth;
            inBody = false;
        }
    }
    if (reader.hasError())
        return QStringLiteral("org.xml.sax.SAXParseException: %1").arg(reader.errorString());
    return {};
}

} // namespace

QByteArray OstrelSim::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

class SimServer;

class OstrelSim::Private {
public:
    mutable QMutex mutex;
    mutable QWaitCondition recorded;
    QHash<QString, std::deque<Step>> queues;
    QHash<QString, QString> defaults;
    TripGeneration generation;
    int defaultDelayMs = 0;
    QHash<QString, StaticFile> files;
    QList<QPair<QString, QString>> folders;
    QList<Request> requests;
    QString recordFile;
    QString error;
    quint16 port = 0;
    bool tls = false;
    std::atomic<bool> keepAlive{false};
    // Only while serving TLS: making a QSslConfiguration loads the TLS library, megabytes that a simulator which
    // is never started (or serves plain HTTP) should not add to the memory of the process it lives in.
    std::optional<QSslConfiguration> tlsConfiguration;
    QThread *thread = nullptr;
    SimServer *server = nullptr;

    void queue(const QString &action, Step step)
    {
        QMutexLocker lock(&mutex);
        queues[action].push_back(std::move(step));
    }

    void record(const Request &request)
    {
        QMutexLocker lock(&mutex);
        requests.append(request);
        if (!recordFile.isEmpty()) {
            QFile file(recordFile);
            if (file.open(QIODevice::Append)) {
                QByteArray block = "=== " + request.at.toString(Qt::ISODateWithMs).toUtf8() + ' ' + request.method +
                                   ' ' + request.path + " action=" + request.action.toUtf8() + '\n';
                for (const auto &[name, value] : request.headers)
                    block += name + ": " + value + '\n';
                block += '\n' + (request.kwp.isEmpty() ? request.body : request.kwp.toUtf8()) + "\n\n";
                file.write(block);
            }
        }
        recorded.wakeAll();
    }

    // The answer to a SOAP call for this action (see the header for the order).
    Step answerFor(const QString &action)
    {
        QMutexLocker lock(&mutex);
        for (const QString &key : {action, QString()}) {
            auto it = queues.find(key);
            if (it != queues.end() && !it->empty()) {
                Step step = std::move(it->front());
                it->pop_front();
                if (step.delayMs < 0)
                    step.delayMs = defaultDelayMs;
                return step;
            }
        }
        Step step;
        step.delayMs = defaultDelayMs;
        if (auto it = defaults.constFind(action); it != defaults.cend()) {
            step.text = *it;
        } else if (action == QLatin1String("RetrieveTrips")) {
            step.text = OstrelSim::retrieveTripsReply(generation);
        } else if (const QString list = OstrelSim::referenceListReply(action); !list.isEmpty()) {
            step.text = list;
        } else if (action == QLatin1String("ConfirmTrips") || action == QLatin1String("SendStatus") ||
                   action == QLatin1String("processTrips")) {
            step.text = OstrelSim::acceptedReply(action);
        } else {
            step.text = OstrelSim::statusReply(action, QStringLiteral("400"));
        }
        return step;
    }

    bool staticFile(const QString &path, StaticFile &file)
    {
        QMutexLocker lock(&mutex);
        if (auto it = files.constFind(path); it != files.cend()) {
            file = *it;
            return true;
        }
        for (const auto &[prefix, folder] : folders) {
            if (!path.startsWith(prefix))
                continue;
            const QString relative = path.mid(prefix.size());
            if (relative.contains(QLatin1String("..")))
                continue;
            QFile disk(QDir(folder).filePath(relative));
            if (disk.open(QIODevice::ReadOnly)) {
                file.content = disk.readAll();
                file.contentType = "application/octet-stream";
                return true;
            }
        }
        return false;
    }
};

// Lives in the simulator's thread. One connection answers one request and is closed.
class SimServer : public QTcpServer {
public:
    explicit SimServer(OstrelSim::Private *d)
        : m_d(d)
    {
        connect(this, &QTcpServer::newConnection, this, &SimServer::accept);
    }

    void closeAll()
    {
        close();
        const auto sockets = findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
        for (QTcpSocket *socket : sockets)
            socket->abort();
        qDeleteAll(sockets);
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!m_d->tls) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setSslConfiguration(*m_d->tlsConfiguration);
        // A client that refuses the certificate just closes; the handshake errors need no answer here.
        connect(socket, &QSslSocket::sslErrors, socket, [socket] { socket->abort(); });
        socket->startServerEncryption();
        addPendingConnection(socket);
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        if (socket->property("answered").toBool()) {
            socket->readAll();
            return;
        }
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (buffer.size() > kMaxHeaderBytes)
                send(socket, wireOf(soapReply(400, "header too large")));
            return;
        }
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        OstrelSim::Request request;
        request.at = QDateTime::currentDateTime();
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        if (contentLength < 0 || contentLength > kMaxBodyBytes) {
            send(socket, wireOf(soapReply(413, "")));
            return;
        }
        if (buffer.size() < headerEnd + 4 + contentLength)
            return;
        request.body = buffer.mid(headerEnd + 4, contentLength);
        m_buffers.remove(socket);
        socket->setProperty("answered", true);
        handle(socket, std::move(request));
    }

    void handle(QTcpSocket *socket, OstrelSim::Request request)
    {
        if (request.method != "POST") {
            m_d->record(request);
            StaticFile file;
            const QString path = QString::fromUtf8(request.path.split('?').value(0));
            OstrelSim::RawReply raw;
            if (request.method != "GET") {
                raw.status = 405;
                raw.reason = reasonFor(405);
                raw.contentType = "text/plain";
            } else if (m_d->staticFile(path, file)) {
                raw.contentType = file.contentType;
                raw.body = file.content;
            } else {
                raw.status = 404;
                raw.reason = reasonFor(404);
                raw.contentType = "text/html";
                raw.body = "<html><body><h1>404 Not Found</h1></body></html>";
            }
            send(socket, wireOf(raw));
            return;
        }
        if (request.header("SOAPAction").isNull()) {
            m_d->record(request);
            send(socket,
                 wireOf(soapReply(500, OstrelSim::faultEnvelope(QStringLiteral("no SOAPAction header!"), false))));
            return;
        }
        const QString fault = readEnvelope(request.body, request.kwp);
        request.action = firstName(request.kwp);
        m_d->record(request);
        if (!fault.isEmpty()) {
            send(socket, wireOf(soapReply(500, OstrelSim::faultEnvelope(fault, false))));
            return;
        }
        const Step step = m_d->answerFor(request.action);
        QByteArray wire;
        switch (step.kind) {
        case Step::Reply:
            wire = wireOf(soapReply(200, OstrelSim::responseEnvelope(step.text)));
            if (m_d->keepAlive && step.delayMs <= 0) {
                sendAndKeep(socket, wire);
                return;
            }
            break;
        case Step::Nil:
            wire = wireOf(soapReply(200, OstrelSim::nilEnvelope()));
            break;
        case Step::Fault:
            wire = wireOf(soapReply(500, OstrelSim::faultEnvelope(step.text, step.cfcDetail)));
            break;
        case Step::Raw:
            wire = wireOf(step.raw);
            break;
        case Step::Hang:
            return;
        case Step::Drop:
            socket->abort();
            socket->deleteLater();
            return;
        }
        if (step.delayMs > 0) {
            QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(step.delayMs, this, [this, guarded, wire] {
                if (guarded)
                    send(guarded, wire);
            });
            return;
        }
        send(socket, wire);
    }

    void send(QTcpSocket *socket, const QByteArray &wire)
    {
        m_buffers.remove(socket);
        socket->setProperty("answered", true);
        socket->write(wire);
        socket->disconnectFromHost();
    }

    // A plain reply on a kept-alive connection: the connection then waits for the next request.
    void sendAndKeep(QTcpSocket *socket, QByteArray wire)
    {
        wire.replace("Connection: close\r\n", "Connection: keep-alive\r\n");
        m_buffers.remove(socket);
        socket->write(wire);
        socket->setProperty("answered", false);
        if (socket->bytesAvailable() > 0) {
            QPointer<QTcpSocket> guarded(socket);
            QMetaObject::invokeMethod(
                this,
                [this, guarded] {
                    if (guarded)
                        read(guarded);
                },
                Qt::QueuedConnection);
        }
    }

    OstrelSim::Private *m_d;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

OstrelSim::OstrelSim()
    : d(std::make_unique<Private>())
{
}

OstrelSim::~OstrelSim()
{
    stop();
}

void OstrelSim::setKeepAlive(bool keep)
{
    d->keepAlive = keep;
}

bool OstrelSim::startTls(const QByteArray &certificatePem, const QByteArray &keyPem, quint16 port)
{
    const QSslCertificate certificate(certificatePem, QSsl::Pem);
    const QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
    if (certificate.isNull() || key.isNull()) {
        QMutexLocker lock(&d->mutex);
        d->error = QStringLiteral("invalid certificate or key");
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return startListening(port, true, configuration);
}

bool OstrelSim::start(quint16 port)
{
    return startListening(port, false, {});
}

bool OstrelSim::startListening(quint16 port, bool tls, const QSslConfiguration &configuration)
{
    stop();
    d->tls = tls;
    if (tls)
        d->tlsConfiguration = configuration;
    else
        d->tlsConfiguration.reset();
    d->thread = new QThread;
    d->thread->setObjectName(QStringLiteral("ostrel-sim"));
    d->server = new SimServer(d.get());
    d->server->moveToThread(d->thread);
    d->thread->start();
    bool ok = false;
    QMetaObject::invokeMethod(
        d->server,
        [this, port, &ok] {
            ok = d->server->listen(QHostAddress::LocalHost, port);
            QMutexLocker lock(&d->mutex);
            d->port = ok ? d->server->serverPort() : 0;
            d->error = ok ? QString() : d->server->errorString();
        },
        Qt::BlockingQueuedConnection);
    if (!ok)
        stop();
    return ok;
}

void OstrelSim::stop()
{
    if (!d->thread)
        return;
    SimServer *server = d->server;
    QMetaObject::invokeMethod(
        server,
        [server] {
            server->closeAll();
            delete server;
        },
        Qt::BlockingQueuedConnection);
    d->thread->quit();
    d->thread->wait();
    delete d->thread;
    d->thread = nullptr;
    d->server = nullptr;
    QMutexLocker lock(&d->mutex);
    d->port = 0;
}

QString OstrelSim::errorString() const
{
    QMutexLocker lock(&d->mutex);
    return d->error;
}

quint16 OstrelSim::port() const
{
    QMutexLocker lock(&d->mutex);
    return d->port;
}

QString OstrelSim::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(d->tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port());
}

QString OstrelSim::url() const
{
    return baseUrl() + QLatin1String(kServicePath);
}

void OstrelSim::queueReply(const QString &action, const QString &kwp, int delayMs)
{
    Step step;
    step.text = kwp;
    step.delayMs = delayMs > 0 ? delayMs : -1;
    d->queue(action, std::move(step));
}

void OstrelSim::queueNil(const QString &action, int delayMs)
{
    Step step;
    step.kind = Step::Nil;
    step.delayMs = delayMs > 0 ? delayMs : -1;
    d->queue(action, std::move(step));
}

void OstrelSim::queueFault(const QString &action, const QString &faultString, bool cfcDetail, int delayMs)
{
    Step step;
    step.kind = Step::Fault;
    step.text = faultString;
    step.cfcDetail = cfcDetail;
    step.delayMs = delayMs > 0 ? delayMs : -1;
    d->queue(action, std::move(step));
}

void OstrelSim::queueRaw(const QString &action, const RawReply &reply, int delayMs)
{
    Step step;
    step.kind = Step::Raw;
    step.raw = reply;
    step.delayMs = delayMs > 0 ? delayMs : -1;
    d->queue(action, std::move(step));
}

void OstrelSim::queueHang(const QString &action)
{
    Step step;
    step.kind = Step::Hang;
    d->queue(action, std::move(step));
}

void OstrelSim::queueDrop(const QString &action)
{
    Step step;
    step.kind = Step::Drop;
    d->queue(action, std::move(step));
}

void OstrelSim::clearScript()
{
    QMutexLocker lock(&d->mutex);
    d->queues.clear();
    d->defaults.clear();
}

int OstrelSim::pendingSteps() const
{
    QMutexLocker lock(&d->mutex);
    int n = 0;
    for (const auto &queue : d->queues)
        n += int(queue.size());
    return n;
}

void OstrelSim::setDefaultReply(const QString &action, const QString &kwp)
{
    QMutexLocker lock(&d->mutex);
    d->defaults.insert(action, kwp);
}

void OstrelSim::setGeneratedTrips(const TripGeneration &generation)
{
    QMutexLocker lock(&d->mutex);
    d->generation = generation;
}

void OstrelSim::setDefaultDelay(int delayMs)
{
    QMutexLocker lock(&d->mutex);
    d->defaultDelayMs = std::max(0, delayMs);
}

bool OstrelSim::loadScriptFolder(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return false;
    static const QRegularExpression pattern(QStringLiteral("^([^.]+)(?:\\.(\\d+))?\\.(xml|fault|http)$"));
    struct Scripted {
        QString action;
        int order;
        Step step;
    };
    QList<Scripted> queued;
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray content = file.readAll();
        const QString action = match.captured(1);
        const QString kind = match.captured(3);
        if (match.captured(2).isEmpty()) {
            if (kind == QLatin1String("xml"))
                setDefaultReply(action, QString::fromUtf8(content));
            continue;
        }
        Step step;
        if (kind == QLatin1String("xml")) {
            step.text = QString::fromUtf8(content);
        } else if (kind == QLatin1String("fault")) {
            step.kind = Step::Fault;
            step.text = QString::fromUtf8(content).trimmed();
        } else {
            step.kind = Step::Raw;
            step.raw.wire = content;
        }
        queued.append({action, match.captured(2).toInt(), std::move(step)});
    }
    std::stable_sort(queued.begin(), queued.end(),
                     [](const Scripted &a, const Scripted &b) { return a.order < b.order; });
    for (Scripted &entry : queued)
        d->queue(entry.action, std::move(entry.step));
    return true;
}

void OstrelSim::serveFile(const QString &path, const QByteArray &content, const QByteArray &contentType)
{
    QMutexLocker lock(&d->mutex);
    d->files.insert(path, {content, contentType});
}

void OstrelSim::serveFolder(const QString &pathPrefix, const QString &folder)
{
    QMutexLocker lock(&d->mutex);
    QString prefix = pathPrefix;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    d->folders.append({prefix, folder});
}

QList<OstrelSim::Request> OstrelSim::requests() const
{
    QMutexLocker lock(&d->mutex);
    return d->requests;
}

int OstrelSim::requestCount() const
{
    QMutexLocker lock(&d->mutex);
    return int(d->requests.size());
}

bool OstrelSim::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&d->mutex);
    while (d->requests.size() < count) {
        if (!d->recorded.wait(&d->mutex, deadline))
            return d->requests.size() >= count;
    }
    return true;
}

void OstrelSim::clearRequests()
{
    QMutexLocker lock(&d->mutex);
    d->requests.clear();
}

void OstrelSim::setRecordFile(const QString &path)
{
    QMutexLocker lock(&d->mutex);
    d->recordFile = path;
}
