#include "link/KwpDocument.h"

#include "base/VoranoError.h"
#include "link/MarkupLimits.h"
#include "link/ReadFront.h"
#include "link/ReadXmlTag.h"
#include "link/TextCuts.h"
#include "link/XmlText.h"
#include "settings/Controls.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <utility>

namespace
{

struct ActionVersion {
    const char *action;
    const char *version;
};

constexpr std::array<ActionVersion, 8> kActionVersions{{
    {KwpAction::RetrieveTrips, "3.8"},
    {KwpAction::ConfirmTrips, "1.0"},
    {KwpAction::SendStatus, "2.3"},
    {KwpAction::processTrips, "1.2"},
    {KwpAction::RetrieveVehicleTypes, "1.0"},
    {KwpAction::RetrieveIndications, "1.0"},
    {KwpAction::RetrieveAccessibilityEquipments, "1.0"},
    {KwpAction::RetrieveProducts, "1.0"},
}};

constexpr const char *kAcceptedStatus = "200";

// Writes a parsed document back out as text. Whitespace-only text is dropped, an element without content is
// written as <x/>, and text is escaped as little as well-formedness needs: "&" and "<" always, ">" only where it
// would close "]]>". Character references and the predefined entities therefore come out as plain characters
// (other than those). An XML declaration is kept as <?xml version="..."?> without its encoding, because the text
// is no longer in the encoding it names. Comments, processing instructions, CDATA sections and a DOCTYPE are
// written as they were read.
class ReplyWriter
{
  public:
    explicit ReplyWriter(qsizetype sizeHint) { m_out.reserve(sizeHint); }

    // feed hands the reader its next slice; false when there is none left.
    template <typename Feed> QString run(QXmlStreamReader &reader, Feed feed)
    {
        for (;;) {
            const QXmlStreamReader::TokenType token = reader.readNext();
            if (token == QXmlStreamReader::Invalid) {
                if (reader.error() == QXmlStreamReader::PrematureEndOfDocumentError && feed())
                    continue;
                break;
            }
            // The empty CDATA sections that cut a long text (TextCuts) are nothing in the document.
            if (token == QXmlStreamReader::Characters && reader.isCDATA() && reader.text().isEmpty())
                continue;
            // A text may reach the writer in pieces (the reader is handed the document in slices and long texts
            // are cut): the pieces are gathered until the text shows it is not whitespace only, and written as
            // they come from then on.
            if (token != QXmlStreamReader::Characters || reader.isCDATA())
                flushText();
            switch (token) {
            case QXmlStreamReader::StartDocument:
                if (!reader.documentVersion().isEmpty()) {
                    m_out += QLatin1String("<?xml version=\"");
                    m_out += reader.documentVersion();
                    m_out += u'"';
                    if (reader.isStandaloneDocument())
                        m_out += QLatin1String(" standalone=\"yes\"");
                    m_out += QLatin1String("?>");
                }
                break;
            case QXmlStreamReader::DTD:
                m_out += reader.text();
                break;
            case QXmlStreamReader::StartElement:
                closePendingStart();
                m_out += u'<';
                m_out += reader.qualifiedName();
                for (const QXmlStreamNamespaceDeclaration &ns : reader.namespaceDeclarations()) {
                    m_out += QLatin1String(" xmlns");
                    if (!ns.prefix().isEmpty()) {
                        m_out += u':';
                        m_out += ns.prefix();
                    }
                    m_out += QLatin1String("=\"");
                    appendEscapedAttribute(ns.namespaceUri());
                    m_out += u'"';
                }
                for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                    m_out += u' ';
                    m_out += attribute.qualifiedName();
                    m_out += QLatin1String("=\"");
                    appendEscapedAttribute(attribute.value());
                    m_out += u'"';
                }
                m_startPending = true;
                break;
            case QXmlStreamReader::EndElement:
                if (m_startPending) {
                    m_out += QLatin1String("/>");
                    m_startPending = false;
                } else {
                    m_out += QLatin1String("</");
                    m_out += reader.qualifiedName();
                    m_out += u'>';
                }
                break;
            case QXmlStreamReader::Characters:
                if (reader.isCDATA()) {
                    closePendingStart();
                    // A section that follows another at once goes on in it: a long section is read in pieces.
                    // Not where the two would make a "]]>" together.
                    if (m_cdataEnd == m_out.size() && m_out.at(m_out.size() - 4) != u']' &&
                        !reader.text().startsWith(u'>'))
                        m_out.chop(3);
                    else
                        m_out += QLatin1String("<![CDATA[");
                    m_out += reader.text();
                    m_out += QLatin1String("]]>");
                    m_cdataEnd = m_out.size();
                } else if (m_textWritten) {
                    appendEscapedText(reader.text());
                } else {
                    // Only the new piece is judged: what was gathered before it is whitespace.
                    m_text += reader.text();
                    if (!isWhitespace(reader.text())) {
                        closePendingStart();
                        appendEscapedText(m_text);
                        m_text.clear();
                        m_textWritten = true;
                    }
                }
                break;
            case QXmlStreamReader::Comment:
                closePendingStart();
                m_out += QLatin1String("<!--");
                m_out += reader.text();
                m_out += QLatin1String("-->");
                break;
            case QXmlStreamReader::ProcessingInstruction:
                closePendingStart();
                m_out += QLatin1String("<?");
                m_out += reader.processingInstructionTarget();
                if (!reader.processingInstructionData().isEmpty()) {
                    m_out += u' ';
                    m_out += reader.processingInstructionData();
                }
                m_out += QLatin1String("?>");
                break;
            case QXmlStreamReader::EntityReference:
                closePendingStart();
                m_out += u'&';
                m_out += reader.name();
                m_out += u';';
                break;
            default:
                break;
            }
            if (token == QXmlStreamReader::EndDocument)
                break;
        }
        flushText();
        return std::move(m_out);
    }

  private:
    static bool isWhitespace(QStringView text)
    {
        return std::all_of(text.cbegin(), text.cend(),
                           [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; });
    }

    // Ends the current text. What is still gathered of it is whitespace only, and is dropped.
    void flushText()
    {
        m_textWritten = false;
        m_text.clear();
    }

    void closePendingStart()
    {
        if (m_startPending) {
            m_out += u'>';
            m_startPending = false;
        }
    }

    // A text written in pieces goes on where the last piece ended: the "]]" before a ">" may stand in m_out.
    void appendEscapedText(QStringView text)
    {
        const qsizetype n = text.size();
        qsizetype plainFrom = 0;
        const auto before = [&](qsizetype i, qsizetype back) {
            if (i >= back)
                return text[i - back];
            return m_out.size() >= back - i ? m_out.at(m_out.size() - (back - i)) : QChar();
        };
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = text[i];
            const char *escape = nullptr;
            if (c == u'&')
                escape = "&amp;";
            else if (c == u'<')
                escape = "&lt;";
            else if (c == u'>' && before(i, 1) == u']' && before(i, 2) == u']')
                escape = "&gt;";
            if (!escape)
                continue;
            m_out += text.mid(plainFrom, i - plainFrom);
            m_out += QLatin1String(escape);
            plainFrom = i + 1;
        }
        m_out += text.mid(plainFrom);
    }

    void appendEscapedAttribute(QStringView value)
    {
        for (const QChar c : value) {
            switch (c.unicode()) {
            case u'&':
                m_out += QLatin1String("&amp;");
                break;
            case u'<':
                m_out += QLatin1String("&lt;");
                break;
            case u'"':
                m_out += QLatin1String("&quot;");
                break;
            case u'\t':
                m_out += QLatin1String("&#9;");
                break;
            case u'\n':
                m_out += QLatin1String("&#10;");
                break;
            case u'\r':
                m_out += QLatin1String("&#13;");
                break;
            default:
                m_out += c;
            }
        }
    }

    QString m_out;
    QString m_text;
    bool m_textWritten = false; // the current text is not whitespace only and goes out as it comes
    qsizetype m_cdataEnd = -1;  // where the last CDATA section written ends
    bool m_startPending = false;
};

} // namespace

QString BuildRequest(const QString &version, const QString &actionName, const QString &userName,
                     const QString &password, const QString &parameters)
{
    // A user name or password holding "&" or "<" would otherwise make the document unreadable for the service.
    return QLatin1String("<kwp version=\"") + version + QLatin1String("\"><header><username>") +
           EscapeXmlText(userName) + QLatin1String("</username><password>") + EscapeXmlText(password) +
           QLatin1String("</password></header>") + QLatin1String("<body><action><name>") + actionName +
           QLatin1String("</name>") + parameters + QLatin1String("</action></body></kwp>");
}

QString MaskPassword(const QString &document)
{
    static const QString open = QStringLiteral("<password>");
    static const QString close = QStringLiteral("</password>");
    static const QString mask = QStringLiteral("********");
    QString out = document;
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = out.indexOf(open, from);
        if (start < 0)
            break;
        const qsizetype content = start + open.size();
        const qsizetype end = out.indexOf(close, content);
        // An element that is never closed hides the rest of the document: nothing after it can be the password's.
        out.replace(content, (end < 0 ? out.size() : end) - content, mask);
        from = content + mask.size();
    }
    return out;
}

QString BuildRequest(const Controls &controls, const QString &version, const QString &actionName,
                     const QString &parameters)
{
    return BuildRequest(version, actionName, controls.text(Control::xInlognaam), controls.text(Control::xPaswoord),
                        parameters);
}

QString KwpVersion(const QString &actionName)
{
    for (const ActionVersion &entry : kActionVersions) {
        if (actionName == QLatin1String(entry.action))
            return QLatin1String(entry.version);
    }
    return {};
}

QString BuildRetrieveRequest(const Controls &controls, const QString &actionName)
{
    return BuildRequest(controls, KwpVersion(actionName), actionName);
}

bool ReplyAccepted(const QString &reply, const QString &actionName, bool compareName)
{
    if (ReadXMLValue(reply, QStringLiteral("status")) != QLatin1String(kAcceptedStatus))
        return false;
    return !compareName || ReadXMLValue(reply, QStringLiteral("name")) == actionName;
}

namespace
{

// Reads a reply that the reader is handed a slice at a time (feed returns false at the end) and writes it again.
template <typename Feed>
QString normalizeFed(QXmlStreamReader &reader, Feed feed, qsizetype sizeHint)
{
    feed();
    ReplyWriter writer(sizeHint);
    QString result = writer.run(reader, feed);
    if (reader.hasError())
        throw XmlParseError(QStringLiteral("%1 (regel %2, positie %3)")
                                .arg(reader.errorString())
                                .arg(reader.lineNumber())
                                .arg(reader.columnNumber()));
    return result;
}

// The reader is handed the text a slice at a time, so it never holds a second whole copy of a large reply.
constexpr qsizetype kSlice = 1 << 20;

} // namespace

QString NormalizeReply(const QString &text)
{
    CheckMarkupLimits(text);
    QXmlStreamReader reader;
    TextCuts cuts;
    qsizetype fed = 0;
    const auto feed = [&] {
        if (fed >= text.size())
            return false;
        qsizetype n = std::min(kSlice, text.size() - fed);
        if (fed + n < text.size() && text.at(fed + n - 1).isHighSurrogate())
            --n; // never part a surrogate pair
        QString slice = text.mid(fed, n);
        for (const QChar c : std::as_const(slice))
            cuts.step(c.unicode());
        fed += n;
        if (fed < text.size())
            if (const char *cut = cuts.cut())
                slice += QLatin1String(cut);
        reader.addData(slice);
        return true;
    };
    return normalizeFed(reader, feed, text.size());
}

QString NormalizeReply(QByteArray utf8)
{
    CheckMarkupLimits(utf8, QStringLiteral("utf-8"));
    // The bytes are UTF-8 whatever an XML declaration says: the text was decoded once already, and the
    // declaration's encoding is not written again.
    if (utf8.startsWith("<?xml")) {
        const qsizetype end = utf8.indexOf("?>");
        const qsizetype at = end > 0 ? utf8.lastIndexOf("encoding", end) : -1;
        if (at > 0) {
            qsizetype stop = at + 8;
            while (stop < end && utf8.at(stop) != '"' && utf8.at(stop) != '\'')
                ++stop;
            const qsizetype close = stop < end ? utf8.indexOf(utf8.at(stop), stop + 1) : -1;
            if (close > 0 && close < end)
                utf8.remove(at, close + 1 - at);
        }
    }
    QXmlStreamReader reader;
    TextCuts cuts;
    qsizetype fed = 0;
    const auto feed = [&] {
        if (fed >= utf8.size())
            return false;
        qsizetype n = std::min(kSlice, utf8.size() - fed);
        // A cut stands between characters: the slice ends before the byte that starts the character there.
        if (fed + n < utf8.size()) {
            qsizetype lead = fed + n;
            while (lead > fed + n - 4 && lead > fed && (uchar(utf8.at(lead)) & 0xC0) == 0x80)
                --lead;
            if (lead > fed)
                n = lead - fed;
        }
        QByteArray slice = utf8.mid(fed, n);
        for (const char c : std::as_const(slice))
            cuts.step(uchar(c));
        fed += n;
        if (fed < utf8.size())
            if (const char *cut = cuts.cut())
                slice += cut;
        reader.addData(slice);
        DropReadFront(utf8, fed);
        return true;
    };
    return normalizeFed(reader, feed, utf8.size());
}

ItemWalk::ItemWalk(QString content, QString itemTag)
    : m_content(std::move(content))
    , m_open(u'<' + itemTag + u'>')
    , m_close(QLatin1String("</") + itemTag + u'>')
{
}

bool ItemWalk::next(QString &item)
{
    while (m_pos >= 0) {
        // The rest of the content is never copied: both searches start at the current position.
        if (m_nextOpen < m_pos)
            m_nextOpen = m_content.indexOf(m_open, m_pos);
        const qsizetype close = m_content.indexOf(m_close, m_pos);
        if (m_nextOpen < 0 || close < 0) {
            m_pos = -1;
            return false;
        }
        const qsizetype end = close + m_close.size();
        m_pos = end;
        // A closing tag before the next opening tag (an item written with attributes, say) holds no item.
        if (close < m_nextOpen)
            continue;
        item = m_content.mid(m_nextOpen, end - m_nextOpen);
        return true;
    }
    return false;
}

QStringList WalkItems(const QString &content, const QString &itemTag)
{
    QStringList items;
    ItemWalk walk(content, itemTag);
    QString item;
    while (walk.next(item))
        items.append(item);
    return items;
}
