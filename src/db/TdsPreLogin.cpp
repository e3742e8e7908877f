#include "db/TdsPreLogin.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QTcpSocket>

namespace
{

constexpr char kPreLogin = 0x12;
constexpr char kTabularResult = 0x04;
constexpr quint8 kOptionVersion = 0x00;
constexpr quint8 kOptionEncryption = 0x01;
constexpr quint8 kTerminator = 0xFF;
constexpr quint8 kEncryptOn = 0x01;
constexpr quint8 kEncryptNotSupported = 0x02;
constexpr int kHeaderSize = 8;
constexpr quint16 kDefaultPort = 1433;

void appendUint16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
}

quint16 uint16At(const QByteArray &data, qsizetype at)
{
    return quint16((quint8(data.at(at)) << 8) | quint8(data.at(at + 1)));
}

// A pre-login message asking for encryption: the version and encryption options, nothing else.
QByteArray preLoginMessage()
{
    const quint16 optionTable = 2 * 5 + 1;
    QByteArray payload;
    payload.append(char(kOptionVersion));
    appendUint16(payload, optionTable);
    appendUint16(payload, 6);
    payload.append(char(kOptionEncryption));
    appendUint16(payload, optionTable + 6);
    appendUint16(payload, 1);
    payload.append(char(kTerminator));
    payload.append(QByteArray(6, '\0')); // client version: not told
    payload.append(char(kEncryptOn));

    QByteArray message;
    message.append(kPreLogin);
    message.append(char(0x01)); // end of message
    appendUint16(message, quint16(kHeaderSize + payload.size()));
    message.append(QByteArray("\0\0\x01\0", 4)); // channel 0, packet 1, window 0
    return message + payload;
}

TdsEncryption encryptionIn(const QByteArray &payload)
{
    for (qsizetype at = 0; at < payload.size() && quint8(payload.at(at)) != kTerminator; at += 5) {
        if (at + 5 > payload.size())
            return TdsEncryption::Unknown;
        const quint8 option = quint8(payload.at(at));
        const quint16 offset = uint16At(payload, at + 1);
        const quint16 length = uint16At(payload, at + 3);
        if (option != kOptionEncryption)
            continue;
        if (length < 1 || offset >= payload.size())
            return TdsEncryption::Unknown;
        return quint8(payload.at(offset)) == kEncryptNotSupported ? TdsEncryption::NotOffered : TdsEncryption::Offered;
    }
    return TdsEncryption::Unknown;
}

} // namespace

bool TdsHostAndPort(const QString &server, QString *host, quint16 *port)
{
    const QString s = server.trimmed();
    if (s.isEmpty() || s.contains(QLatin1Char('\\')))
        return false;
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    *host = (comma < 0 ? s : s.left(comma)).trimmed();
    if (comma < 0) {
        *port = kDefaultPort;
        return !host->isEmpty();
    }
    bool ok = false;
    const uint p = s.mid(comma + 1).trimmed().toUInt(&ok);
    *port = quint16(p);
    return ok && p > 0 && p <= 65535 && !host->isEmpty();
}

TdsEncryption ProbeTdsEncryption(const QString &host, quint16 port, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return TdsEncryption::Unknown;
    socket.write(preLoginMessage());
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return TdsEncryption::Unknown;

    QByteArray reply;
    qsizetype wanted = kHeaderSize;
    while (reply.size() < wanted) {
        if (socket.bytesAvailable() == 0 &&
            (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))))
            return TdsEncryption::Unknown;
        reply.append(socket.read(wanted - reply.size()));
        if (reply.size() >= kHeaderSize && wanted == kHeaderSize) {
            if (reply.at(0) != kTabularResult)
                return TdsEncryption::Unknown;
            wanted = uint16At(reply, 2);
            if (wanted <= kHeaderSize)
                return TdsEncryption::Unknown;
        }
    }
    socket.abort();
    return encryptionIn(reply.mid(kHeaderSize));
}
