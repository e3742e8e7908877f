#include "link/SoapEnvelope.h"

#include "base/VoranoError.h"
#include "link/MarkupLimits.h"
#include "link/ReadFront.h"
#include "link/TextCuts.h"

#include <QStringDecoder>
#include <QXmlStreamReader>

namespace
{

constexpr const char *kInvalidContentType =
    "Received content of invalid Content-Type setting: %1 - SOAP expects \"text/xml\"";
constexpr const char *kNoEnvelope = "Het antwoord is geen SOAP-envelope (hoofdelement '%1')";
constexpr const char *kNoBody = "Het SOAP-antwoord heeft geen Body";
constexpr const char *kNoResponse = "Het SOAP-antwoord heeft geen antwoordelement";
constexpr const char *kBadEncoding = "Het antwoord is niet geldig in de tekenset '%1'";

void appendEscaped(QString &out, const QString &text)
{
    out.reserve(out.size() + text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
}

QString mediaType(const QString &contentType)
{
    return contentType.section(u';', 0, 0).trimmed();
}

QString charsetOf(const QString &contentType)
{
    const QStringList parts = contentType.split(u';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString part = parts.at(i).trimmed();
        if (!part.startsWith(QLatin1String("charset"), Qt::CaseInsensitive))
            continue;
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        QString value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// A parser that is handed the reply a slice at a time, so it never holds a second whole copy of it: the bytes as
// they are when the header names no charset (the parser then decodes them itself: byte-order mark, XML
// declaration, UTF-8 by default), else the text decoded with the header's charset, slice by slice for UTF-8 (cut
// between characters) and at once for other charsets. Decoding faults throw as soon as their slice is reached.
// In UTF-8 a slice that ends within a text gets a cut (TextCuts), so the string the reply carries reaches the
// reader's caller a slice at a time instead of whole at its end.
class FedReader : public QXmlStreamReader
{
  public:
    FedReader(QByteArray body, const QString &charset)
        : m_body(std::move(body))
        , m_charset(charset)
    {
        if (!m_charset.isEmpty()) {
            const auto encoding = QStringConverter::encodingForName(m_charset.toLatin1().constData());
            m_utf8 = encoding && *encoding == QStringConverter::Utf8;
            m_decoder = QStringDecoder(m_charset.toLatin1().constData(), QStringDecoder::Flag::Stateless);
            // A byte-order mark is dropped at the start of the body only, not at the start of every slice.
            m_laterSlices = QStringDecoder(m_charset.toLatin1().constData(),
                                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            m_decode = m_decoder.isValid() && m_laterSlices.isValid();
        }
        m_cuts = m_decode ? m_utf8 : !m_charset.isEmpty() ? false : isUtf8Document(m_body);
        if (m_decode && !m_utf8) {
            QString text = decoded(m_body);
            m_body = QByteArray();
            addData(text);
            m_pos = 0;
            return;
        }
        feed();
    }

    // As QXmlStreamReader::readNext, handing over the next slice whenever the parser runs out.
    TokenType readNext()
    {
        for (;;) {
            const TokenType token = QXmlStreamReader::readNext();
            if (token == Invalid && error() == PrematureEndOfDocumentError && feed())
                continue;
            return token;
        }
    }

    // As QXmlStreamReader::skipCurrentElement, through the readNext above.
    void skipCurrentElement()
    {
        for (qsizetype depth = 1; depth > 0 && !atEnd();) {
            const TokenType token = readNext();
            if (token == StartElement)
                ++depth;
            else if (token == EndElement)
                --depth;
        }
    }

  private:
    static constexpr qsizetype kSlice = 1 << 20;

    QString decoded(QByteArrayView bytes)
    {
        QStringDecoder &decoder = m_first ? m_decoder : m_laterSlices;
        m_first = false;
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            throw XmlParseError(QLatin1String(kBadEncoding).arg(m_charset));
        return text;
    }

    // A body the parser reads as UTF-8 by itself: no byte-order mark but UTF-8's, and a declaration that names no
    // other encoding.
    static bool isUtf8Document(const QByteArray &body)
    {
        QByteArrayView head = QByteArrayView(body).first(std::min<qsizetype>(body.size(), 200));
        if (head.startsWith("\xEF\xBB\xBF"))
            head = head.sliced(3);
        if (!head.startsWith("<"))
            return false;
        if (!head.startsWith("<?xml"))
            return true;
        const qsizetype end = head.indexOf("?>");
        const QByteArray declaration = head.first(end < 0 ? head.size() : end).toByteArray().toLower();
        const qsizetype at = declaration.indexOf("encoding");
        return end > 0 && (at < 0 || declaration.indexOf("utf-8", at) > 0);
    }

    bool feed()
    {
        if (m_pos >= m_body.size())
            return false;
        qsizetype end = std::min(m_body.size(), m_pos + kSlice);
        // Never cut a UTF-8 sequence: back up to the byte that starts the character at the cut.
        if ((m_decode || m_cuts) && end < m_body.size()) {
            qsizetype lead = end;
            while (lead > m_pos && end - lead < 4 && (uchar(m_body.at(lead)) & 0xC0) == 0x80)
                --lead;
            if (lead > m_pos)
                end = lead;
        }
        const char *cut = nullptr;
        if (m_cuts) {
            for (qsizetype i = m_pos; i < end; ++i)
                m_textCuts.step(uchar(m_body.at(i)));
            if (end < m_body.size())
                cut = m_textCuts.cut();
        }
        if (m_decode) {
            QString text = decoded(QByteArrayView(m_body).sliced(m_pos, end - m_pos));
            if (cut)
                text += QLatin1String(cut);
            addData(text);
        } else {
            QByteArray bytes = m_body.sliced(m_pos, end - m_pos);
            if (cut)
                bytes += cut;
            addData(bytes);
        }
        m_pos = end;
        DropReadFront(m_body, m_pos);
        return true;
    }

    QByteArray m_body;
    QString m_charset;
    QStringDecoder m_decoder;
    QStringDecoder m_laterSlices;
    bool m_decode = false;
    bool m_utf8 = false;
    bool m_cuts = false;
    TextCuts m_textCuts;
    bool m_first = true;
    qsizetype m_pos = 0; // in m_body, which lets go of what has been read
};

[[noreturn]] void throwParseError(const FedReader &reader)
{
    throw XmlParseError(QStringLiteral("%1 (regel %2, positie %3)")
                            .arg(reader.errorString())
                            .arg(reader.lineNumber())
                            .arg(reader.columnNumber()));
}

// Moves to the next start element at the current depth; false at the end of the enclosing element.
bool nextChildElement(FedReader &reader)
{
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            return true;
        if (token == QXmlStreamReader::EndElement)
            return false;
    }
    return false;
}

bool isNil(const QXmlStreamReader &reader)
{
    const QStringView nil =
        reader.attributes().value(QLatin1String(SoapWire::SchemaInstanceNamespace), QLatin1String("nil"));
    return nil == QLatin1String("true") || nil == QLatin1String("1");
}

// The text content of the current element, child markup contributing its text only. Read in one loop with a
// depth counter, never by recursion: a reply may nest as deep as it likes without touching the stack.
// sizeHint: what the text may grow to at most (the body's size); its room is taken at once, so a text of many
// megabytes is not copied again and again while it grows, and only what it fills is in memory.
constexpr qsizetype kReserveFrom = 1 << 20;

QString innerText(FedReader &reader, qsizetype sizeHint = 0)
{
    QString text;
    if (sizeHint > kReserveFrom)
        text.reserve(sizeHint);
    for (qsizetype depth = 1; depth > 0 && !reader.atEnd();) {
        switch (reader.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += reader.text();
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (text.capacity() > text.size() + kReserveFrom)
        text.squeeze();
    return text;
}

// The same; empty for xsi:nil.
QString elementText(FedReader &reader, qsizetype sizeHint = 0)
{
    const bool nil = isNil(reader);
    QString text = innerText(reader, sizeHint);
    return nil ? QString() : text;
}

[[noreturn]] void throwFault(FedReader &reader)
{
    QString faultString;
    bool cfc = false;
    while (nextChildElement(reader)) {
        if (reader.name() == QLatin1String("faultstring")) {
            faultString = innerText(reader);
        } else if (reader.name() == QLatin1String("Reason") && faultString.isEmpty()) {
            // Some servers put a SOAP 1.2 reason into a 1.1 envelope; its text is the message then.
            faultString = innerText(reader).trimmed();
        } else if (reader.name() == QLatin1String("detail")) {
            int depth = 1;
            while (depth > 0 && !reader.atEnd()) {
                const auto token = reader.readNext();
                if (token == QXmlStreamReader::StartElement) {
                    ++depth;
                    if (reader.name() == QLatin1String(SoapWire::FaultDetailType))
                        cfc = true;
                } else if (token == QXmlStreamReader::EndElement) {
                    --depth;
                }
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        throwParseError(reader);
    if (cfc)
        throw CFCInvocationException(faultString);
    throw SoapFault(faultString);
}

} // namespace

QByteArray BuildSoapEnvelope(const QString &kwp)
{
    QString out;
    out.reserve(kwp.size() + 700);
    out += QLatin1String("<?xml version=\"1.0\"?>\r\n");
    out += QLatin1String("<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"") + QLatin1String(SoapWire::EnvelopeNamespace) +
           QLatin1String("\" xmlns:xsd=\"") + QLatin1String(SoapWire::SchemaNamespace) +
           QLatin1String("\" xmlns:xsi=\"") + QLatin1String(SoapWire::SchemaInstanceNamespace) +
           QLatin1String("\" xmlns:SOAP-ENC=\"") + QLatin1String(SoapWire::EncodingNamespace) + QLatin1String("\">");
    out += QLatin1String("<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"") + QLatin1String(SoapWire::EncodingNamespace) +
           QLatin1String("\">");
    out += QLatin1String("<NS1:xmlRequest xmlns:NS1=\"") + QLatin1String(SoapWire::ServiceNamespace) +
           QLatin1String("\">");
    out += QLatin1String("<xml xsi:type=\"xsd:string\">");
    appendEscaped(out, kwp);
    out += QLatin1String("</xml></NS1:xmlRequest></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    return out.toUtf8();
}

void CheckReplyContentType(const QString &contentType)
{
    const QString type = mediaType(contentType);
    if (type.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0 ||
        type.compare(QLatin1String("text/html"), Qt::CaseInsensitive) == 0)
        throw TransportError(QLatin1String(kInvalidContentType).arg(contentType));
}

QString ReadSoapReply(const QByteArray &body, const QString &contentType)
{
    return ReadSoapReply(QByteArray(body), contentType);
}

QString ReadSoapReply(QByteArray &&body, const QString &contentType)
{
    const QString charset = charsetOf(contentType);
    CheckMarkupLimits(body, charset);
    // The body moves into the reader, which hands it to the parser a slice at a time. The string it carries has
    // at most as many characters as the body has bytes.
    const qsizetype bodySize = body.size();
    FedReader reader(std::move(body), charset);
    body = QByteArray();

    const QLatin1String envNs(SoapWire::EnvelopeNamespace);
    if (!nextChildElement(reader)) {
        if (!reader.hasError())
            reader.raiseError(QStringLiteral("Premature end of document."));
        throwParseError(reader);
    }
    if (reader.namespaceUri() != envNs || reader.name() != QLatin1String("Envelope"))
        throw XmlParseError(QLatin1String(kNoEnvelope).arg(reader.qualifiedName()));

    bool inBody = false;
    while (nextChildElement(reader)) {
        if (reader.namespaceUri() == envNs && reader.name() == QLatin1String("Body")) {
            inBody = true;
            break;
        }
        reader.skipCurrentElement();
    }
    if (!inBody) {
        if (reader.hasError())
            throwParseError(reader);
        throw XmlParseError(QLatin1String(kNoBody));
    }
    if (!nextChildElement(reader)) {
        if (reader.hasError())
            throwParseError(reader);
        throw XmlParseError(QLatin1String(kNoResponse));
    }
    if (reader.namespaceUri() == envNs && reader.name() == QLatin1String("Fault"))
        throwFault(reader);

    // The response element: its one child carries the string; with several, the one named Result or Return.
    QString first;
    QString chosen;
    int children = 0;
    bool found = false;
    while (nextChildElement(reader)) {
        const bool isResult = reader.name().compare(QLatin1String("Result"), Qt::CaseInsensitive) == 0 ||
                              reader.name().compare(QLatin1String("Return"), Qt::CaseInsensitive) == 0;
        QString text = elementText(reader, bodySize);
        if (children++ == 0)
            first = text;
        if (isResult && !found) {
            chosen = text;
            found = true;
        }
    }
    // The rest of the envelope must still be well-formed.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        throwParseError(reader);
    return found ? chosen : first;
}
