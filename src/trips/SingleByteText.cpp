#include "trips/SingleByteText.h"

#include "base/Windows1252.h"

QString ToSingleByteText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += QLatin1Char('?');
            ++i;
        } else if (FitsWindows1252(c.unicode())) {
            out += c;
        } else {
            out += QLatin1Char('?');
        }
    }
    return out;
}
