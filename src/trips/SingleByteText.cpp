#include "trips/SingleByteText.h"

namespace {

// The characters Windows-1252 places at 0x80 to 0x9F; the rest of the code page matches Latin-1.
constexpr char16_t kCp1252High[] = {u'\u20AC', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
                                    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u017D', u'\u2018',
                                    u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014', u'\u02DC',
                                    u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u017E', u'\u0178'};

bool fitsCodePage(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    for (char16_t h : kCp1252High) {
        if (h == c)
            return true;
    }
    return false;
}

} // namespace

QString ToSingleByteText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += QLatin1Char('?');
            ++i;
        } else if (fitsCodePage(c.unicode())) {
            out += c;
        } else {
            out += QLatin1Char('?');
        }
    }
    return out;
}
