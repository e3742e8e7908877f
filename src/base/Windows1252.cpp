#include "base/Windows1252.h"

namespace
{

// The characters at 0x80 to 0x9F; 0 marks an undefined byte.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte for a character, or -1 when the code page has none.
int byteFor(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] != 0 && kHigh[i] == c)
            return 0x80 + i;
    }
    return -1;
}

constexpr QStringView kCdataOpen = u"<![CDATA[";
constexpr QStringView kCdataClose = u"]]>";

} // namespace

bool FitsWindows1252(char32_t c)
{
    return byteFor(c) >= 0;
}

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        const char16_t high = u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : 0;
        *out++ = QChar(high != 0 ? high : char16_t(u));
    }
    return text;
}

QByteArray EncodeWindows1252Xml(QStringView xml)
{
    QByteArray out;
    out.reserve(xml.size());
    bool inCdata = false;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        const QChar c = xml.at(i);
        if (c == u'<' && !inCdata && xml.mid(i).startsWith(kCdataOpen))
            inCdata = true;
        else if (c == u']' && inCdata && xml.mid(i).startsWith(kCdataClose))
            inCdata = false;

        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < xml.size() && xml.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, xml.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            out += '?';
            continue;
        }
        const int b = byteFor(code);
        if (b >= 0) {
            out += char(b);
            continue;
        }
        const QByteArray reference = "&#" + QByteArray::number(quint32(code)) + ';';
        if (inCdata)
            out += "]]>" + reference + "<![CDATA[";
        else
            out += reference;
    }
    return out;
}
