#include "settings/SettingsXml.h"

#include "base/VoranoError.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace
{

const QString kCrLf = QStringLiteral("\r\n");

// Characters that XML 1.0 does not allow in a document, not even as a reference.
bool allowedInXml(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

// The two encodings the writer produces: UTF-8, or ISO 8859-1 with character references beyond it.
enum class OutputEncoding { Utf8, Latin1 };

const QRegularExpression &encodingPattern()
{
    static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*([\"'])([^\"']*)\\1"));
    return encoding;
}

OutputEncoding encodingOf(const QString &declaration)
{
    const QRegularExpressionMatch m = encodingPattern().match(declaration);
    if (!m.hasMatch())
        return OutputEncoding::Utf8; // XML without an encoding name is UTF-8
    const QString name = m.captured(2).toLower();
    if (name == QLatin1String("utf-8") || name == QLatin1String("utf8"))
        return OutputEncoding::Utf8;
    return OutputEncoding::Latin1;
}

bool isLatin1Name(const QString &name)
{
    static const QStringList names = {QStringLiteral("iso-8859-1"), QStringLiteral("iso8859-1"),
                                      QStringLiteral("iso_8859-1"), QStringLiteral("latin1"),
                                      QStringLiteral("latin-1"),    QStringLiteral("l1")};
    return names.contains(name.toLower());
}

// The declaration as written: the one read, except that an encoding the writer cannot produce is replaced by
// ISO 8859-1, the encoding the bytes then really have.
QString writtenDeclaration(const QString &declaration)
{
    if (declaration.isEmpty())
        return QLatin1String(kSettingsDeclaration);
    const QRegularExpressionMatch m = encodingPattern().match(declaration);
    if (!m.hasMatch() || encodingOf(declaration) == OutputEncoding::Utf8 || isLatin1Name(m.captured(2)))
        return declaration;
    QString out = declaration;
    out.replace(m.capturedStart(2), m.capturedLength(2), QStringLiteral("iso-8859-1"));
    return out;
}

// A name as written: characters that the output encoding cannot hold (a name cannot carry a character reference)
// and characters no XML name may hold become "_".
QString writtenName(const QString &name, OutputEncoding encoding)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            if (encoding == OutputEncoding::Utf8) {
                out += c;
                out += name.at(i + 1);
            } else {
                out += u'_';
            }
            ++i;
            continue;
        }
        const bool fits = encoding == OutputEncoding::Utf8 || c.unicode() <= 0xFF;
        const bool nameChar = c.isLetterOrNumber() || c == u'_' || c == u':' || c == u'-' || c == u'.' ||
                              c.unicode() == 0xB7 || c.category() == QChar::Mark_NonSpacing ||
                              c.category() == QChar::Mark_SpacingCombining || c.category() == QChar::Letter_Modifier;
        out += fits && nameChar && allowedInXml(c.unicode()) && !c.isSurrogate() ? c : QChar(u'_');
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

// Text of a comment or a processing instruction, where no reference is read: characters XML does not allow are
// left out, a closing delimiter cannot arise.
QString plainText(const QString &text, const QLatin1String &forbidden)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (allowedInXml(c.unicode()) && !c.isSurrogate()) {
            out += c;
        }
        if (out.endsWith(forbidden))
            out.chop(1);
    }
    if (forbidden == QLatin1String("--") && out.endsWith(u'-'))
        out += u' '; // "--->" would not end the comment
    return out;
}

bool hasElementChild(const QDomNode &node)
{
    for (QDomNode n = node.firstChild(); !n.isNull(); n = n.nextSibling())
        if (n.isElement())
            return true;
    return false;
}

// Attribute values also keep tab and line feed, which reading would turn into blanks.
QString escapeAttribute(const QString &value)
{
    QString out = EscapeSettingsText(value);
    out.replace(u'\t', QLatin1String("&#9;")).replace(u'\n', QLatin1String("&#10;"));
    return out;
}

QString startTag(const QDomElement &e, OutputEncoding encoding)
{
    QString tag = QLatin1Char('<') + writtenName(e.tagName(), encoding);
    // The document keeps its attributes in no order; sorted by name they are written the same way every time.
    const QDomNamedNodeMap map = e.attributes();
    QList<QDomAttr> attributes;
    for (int i = 0; i < map.count(); ++i)
        attributes << map.item(i).toAttr();
    std::sort(attributes.begin(), attributes.end(),
              [](const QDomAttr &a, const QDomAttr &b) { return a.name() < b.name(); });
    QSet<QString> written;
    for (const QDomAttr &a : attributes) {
        const QString name = writtenName(a.name(), encoding);
        if (written.contains(name))
            continue; // two names that became the same: the first is kept
        written.insert(name);
        tag += QLatin1Char(' ') + name + QLatin1String("=\"") + escapeAttribute(a.value()) + QLatin1Char('"');
    }
    return tag;
}

// Writes one node that has no element children, or the start tag of one that has.
void writeLeaf(const QDomNode &node, const QString &indent, OutputEncoding encoding, QString &out)
{
    if (node.isComment()) {
        out += indent + QLatin1String("<!--") + plainText(node.toComment().data(), QLatin1String("--")) +
               QLatin1String("-->") + kCrLf;
        return;
    }
    if (node.isProcessingInstruction()) {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        const QString data = plainText(pi.data(), QLatin1String("?>")).trimmed();
        QString target = writtenName(pi.target(), encoding);
        if (target.compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0)
            target += u'_'; // the name "xml" is reserved for the declaration
        out += indent + QLatin1String("<?") + target + (data.isEmpty() ? QString() : QLatin1Char(' ') + data) +
               QLatin1String("?>") + kCrLf;
        return;
    }
    if (node.isText() || node.isCDATASection()) {
        // Text beside elements: each of its lines on a line of its own, trimmed, empty ones left out. Read back,
        // the text between two elements is one node (also where it was several, such as text on both sides of a
        // removed element) holding these lines and the indentation around them; split again it gives the same
        // lines, so the file is written the same way every time.
        const QStringList lines = node.toCharacterData().data().replace(u'\r', u'\n').split(u'\n');
        for (const QString &line : lines) {
            const QString text = EscapeSettingsText(line).trimmed();
            if (!text.isEmpty())
                out += indent + text + kCrLf;
        }
        return;
    }
    const QDomElement e = node.toElement();
    const QString value = SettingsText(e);
    if (value.isEmpty())
        out += indent + startTag(e, encoding) + QLatin1String("/>") + kCrLf;
    else
        out += indent + startTag(e, encoding) + QLatin1Char('>') + EscapeSettingsText(value) + QLatin1String("</") +
               writtenName(e.tagName(), encoding) + QLatin1Char('>') + kCrLf;
}

// Writes the nodes from `first` on and everything below them. A loop with its own stack instead of a call per
// level, so that no document, however deep, can exhaust the call stack.
void writeNodes(const QDomNode &first, OutputEncoding encoding, QString &out)
{
    QList<QDomNode> open; // elements whose end tag is still to come
    QDomNode node = first;
    for (;;) {
        while (node.isNull()) {
            if (open.isEmpty())
                return;
            const QDomElement e = open.takeLast().toElement();
            out += QString(open.size() * 2, u' ') + QLatin1String("</") + writtenName(e.tagName(), encoding) +
                   QLatin1Char('>') + kCrLf;
            node = e.nextSibling();
        }
        const QString indent(open.size() * 2, u' ');
        if (node.isElement() && hasElementChild(node)) {
            out += indent + startTag(node.toElement(), encoding) + QLatin1Char('>') + kCrLf;
            open << node;
            node = node.firstChild();
            continue;
        }
        if (node.isElement() || node.isComment() || node.isProcessingInstruction() || node.isText() ||
            node.isCDATASection())
            writeLeaf(node, indent, encoding, out);
        node = node.nextSibling();
    }
}

QByteArray toLatin1WithReferences(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() <= 0xFF) {
            bytes += char(c.unicode());
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        bytes += "&#" + QByteArray::number(quint32(code)) + ';';
    }
    return bytes;
}

} // namespace

QString SettingsText(const QDomNode &element)
{
    QString value;
    for (QDomNode n = element.firstChild(); !n.isNull(); n = n.nextSibling())
        if (n.isText() || n.isCDATASection())
            value += n.toCharacterData().data();
    return value;
}

QString EscapeSettingsText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&apos;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break; // a bare CR would be read back as LF
        default:
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            } else if (allowedInXml(c.unicode())) {
                out += c;
            }
        }
    }
    return out;
}

ParsedSettingsXml ParseSettingsXml(const QByteArray &bytes, const QString &what)
{
    ParsedSettingsXml parsed;
    QDomDocument &doc = parsed.document;
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    QDomNode current; // null: the document itself (an empty QDomDocument only comes to life on its first node)
    auto append = [&](const QDomNode &node) {
        return current.isNull() ? doc.appendChild(node) : current.appendChild(node);
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument: {
            // Only a real declaration counts; it stands at the very start (after a byte-order mark).
            const qsizetype start = bytes.indexOf("<?xml");
            const qsizetype end = bytes.indexOf("?>", start);
            if (!reader.documentVersion().isEmpty() && start >= 0 && start <= 3 && end > start)
                parsed.declaration = QString::fromLatin1(bytes.mid(start, end + 2 - start));
            break;
        }
        case QXmlStreamReader::StartElement: {
            if (++depth > kMaxSettingsDepth) {
                reader.raiseError(
                    QStringLiteral("Elementen zijn dieper genest dan %1 niveaus.").arg(kMaxSettingsDepth));
                break;
            }
            QDomElement e = doc.createElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute &a : reader.attributes())
                e.setAttribute(a.qualifiedName().toString(), a.value().toString());
            current = append(e);
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            current = current.parentNode();
            if (current.isDocument())
                current = QDomNode();
            break;
        case QXmlStreamReader::Characters:
            if (!current.isNull())
                current.appendChild(doc.createTextNode(reader.text().toString()));
            break;
        case QXmlStreamReader::Comment:
            append(doc.createComment(reader.text().toString()));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            append(doc.createProcessingInstruction(reader.processingInstructionTarget().toString(),
                                                   reader.processingInstructionData().toString()));
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw XmlParseError(QStringLiteral("%1: regel %2, kolom %3: %4")
                                .arg(what)
                                .arg(reader.lineNumber())
                                .arg(reader.columnNumber())
                                .arg(reader.errorString()));
    return parsed;
}

QByteArray WriteSettingsXml(const QDomDocument &document, const QString &declaration)
{
    const QString decl = writtenDeclaration(declaration);
    const OutputEncoding encoding = encodingOf(decl);
    QString out = decl + kCrLf;
    writeNodes(document.firstChild(), encoding, out);
    return encoding == OutputEncoding::Utf8 ? out.toUtf8() : toLatin1WithReferences(out);
}
