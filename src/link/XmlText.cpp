#include "link/XmlText.h"

namespace
{

const QLatin1String kCdataStart("<![CDATA[");
const QLatin1String kCdataEnd("]]>");

// The longest reference we read: "&#x10FFFF;" and "&quot;" fit easily.
constexpr qsizetype kMaxReference = 12;

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The character of a reference's name (between "&" and ";"); false when it is not one we know.
bool referencedChar(QStringView name, char32_t &c)
{
    if (name == u"amp")
        c = U'&';
    else if (name == u"lt")
        c = U'<';
    else if (name == u"gt")
        c = U'>';
    else if (name == u"quot")
        c = U'"';
    else if (name == u"apos")
        c = U'\'';
    else if (name.size() >= 2 && name[0] == u'#') {
        const bool hex = name[1] == u'x';
        const QStringView digits = name.mid(hex ? 2 : 1);
        if (digits.isEmpty())
            return false;
        char32_t value = 0;
        for (const QChar d : digits) {
            const char16_t u = d.unicode();
            int v = -1;
            if (u >= u'0' && u <= u'9')
                v = u - u'0';
            else if (hex && u >= u'a' && u <= u'f')
                v = u - u'a' + 10;
            else if (hex && u >= u'A' && u <= u'F')
                v = u - u'A' + 10;
            if (v < 0)
                return false;
            value = value * (hex ? 16 : 10) + char32_t(v);
            if (value > 0x10FFFF)
                return false;
        }
        if (!isXmlChar(value))
            return false;
        c = value;
    } else {
        return false;
    }
    return true;
}

} // namespace

QString DecodeXmlText(const QString &text)
{
    if (!text.contains(QLatin1Char('&')) && !text.contains(kCdataStart))
        return text;
    const QStringView in(text);
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < in.size()) {
        const QChar ch = in[i];
        if (ch == u'<' && in.mid(i).startsWith(kCdataStart)) {
            const qsizetype from = i + kCdataStart.size();
            const qsizetype end = in.indexOf(kCdataEnd, from);
            if (end < 0) {
                out += in.mid(i);
                break;
            }
            out += in.mid(from, end - from);
            i = end + kCdataEnd.size();
            continue;
        }
        if (ch == u'&') {
            const qsizetype semicolon = in.mid(i + 1, kMaxReference).indexOf(u';');
            char32_t c = 0;
            if (semicolon > 0 && referencedChar(in.mid(i + 1, semicolon), c)) {
                if (QChar::requiresSurrogates(c)) {
                    out += QChar(QChar::highSurrogate(c));
                    out += QChar(QChar::lowSurrogate(c));
                } else {
                    out += QChar(char16_t(c));
                }
                i += semicolon + 2;
                continue;
            }
        }
        out += ch;
        ++i;
    }
    return out;
}

QString EscapeXmlText(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] != u'&' && text[i] != u'<' && text[i] != u'>')
        ++i;
    if (i == text.size())
        return text;
    QString out = text.left(i);
    out.reserve(text.size() + 16);
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&')
            out += QLatin1String("&amp;");
        else if (c == u'<')
            out += QLatin1String("&lt;");
        else if (c == u'>')
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}
