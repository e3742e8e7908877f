#include "settings/SettingsXml.h"

#include "base/VoranoError.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

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

bool declaresUtf8(const QString &declaration)
{
    static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch m = encoding.match(declaration);
    if (!m.hasMatch())
        return true; // XML without an encoding name is UTF-8
    const QString name = m.captured(1).toLower();
    return name == QLatin1String("utf-8") || name == QLatin1String("utf8");
}

bool hasElementChild(const QDomNode &node)
{
    for (QDomNode n = node.firstChild(); !n.isNull(); n = n.nextSibling())
        if (n.isElement())
            return true;
    return false;
}

QString startTag(const QDomElement &e)
{
    QString tag = QLatin1Char('<') + e.tagName();
    const QDomNamedNodeMap attributes = e.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr a = attributes.item(i).toAttr();
        tag += QLatin1Char(' ') + a.name() + QLatin1String("=\"") + EscapeSettingsText(a.value()) + QLatin1Char('"');
    }
    return tag;
}

void writeNode(const QDomNode &node, int level, QString &out)
{
    const QString indent(level * 2, QLatin1Char(' '));
    if (node.isComment()) {
        out += indent + QLatin1String("<!--") + node.toComment().data() + QLatin1String("-->") + kCrLf;
        return;
    }
    if (node.isProcessingInstruction()) {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        out += indent + QLatin1String("<?") + pi.target() + QLatin1Char(' ') + pi.data() + QLatin1String("?>") + kCrLf;
        return;
    }
    if (node.isText() || node.isCDATASection()) {
        const QString text = node.toCharacterData().data();
        if (!text.trimmed().isEmpty())
            out += indent + EscapeSettingsText(text.trimmed()) + kCrLf;
        return;
    }
    if (!node.isElement())
        return;
    const QDomElement e = node.toElement();
    if (hasElementChild(e)) {
        out += indent + startTag(e) + QLatin1Char('>') + kCrLf;
        for (QDomNode n = e.firstChild(); !n.isNull(); n = n.nextSibling())
            writeNode(n, level + 1, out);
        out += indent + QLatin1String("</") + e.tagName() + QLatin1Char('>') + kCrLf;
        return;
    }
    const QString value = SettingsText(e);
    if (value.isEmpty())
        out += indent + startTag(e) + QLatin1String("/>") + kCrLf;
    else
        out += indent + startTag(e) + QLatin1Char('>') + EscapeSettingsText(value) + QLatin1String("</") + e.tagName() +
               QLatin1Char('>') + kCrLf;
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
    QDomNode current; // null: the document itself (an empty QDomDocument only comes to life on its first node)
    auto append = [&](const QDomNode &node) {
        return current.isNull() ? doc.appendChild(node) : current.appendChild(node);
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument: {
            const qsizetype start = bytes.indexOf("<?xml");
            const qsizetype end = bytes.indexOf("?>", start);
            if (start >= 0 && end > start)
                parsed.declaration = QString::fromLatin1(bytes.mid(start, end + 2 - start));
            break;
        }
        case QXmlStreamReader::StartElement: {
            QDomElement e = doc.createElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute &a : reader.attributes())
                e.setAttribute(a.qualifiedName().toString(), a.value().toString());
            current = append(e);
            break;
        }
        case QXmlStreamReader::EndElement:
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
    const QString decl = declaration.isEmpty() ? QLatin1String(kSettingsDeclaration) : declaration;
    QString out = decl + kCrLf;
    for (QDomNode n = document.firstChild(); !n.isNull(); n = n.nextSibling())
        writeNode(n, 0, out);
    return declaresUtf8(decl) ? out.toUtf8() : toLatin1WithReferences(out);
}
