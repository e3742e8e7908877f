#include "base/Conversions.h"

#include "base/VoranoError.h"
#include "base/WallDateTime.h"

#include <limits>

namespace
{

constexpr const char *kInvalidDate = "Invalid argument to date encode";
constexpr const char *kInvalidTime = "Invalid argument to time encode";

} // namespace

int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int v = -1;
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

qint32 LeadingInt(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && (text.at(i) == u'$' || text.at(i) == u'x' || text.at(i) == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        base = 16;
        i += 2;
    }
    // The magnitude saturates just past the 32-bit range so that long digit strings cannot overflow.
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 value = 0;
    for (; i < n; ++i) {
        const int d = DigitValue(text.at(i), base);
        if (d < 0)
            break;
        value = std::min(value * base + d, limit);
    }
    if (negative)
        return qint32(-value);
    return qint32(std::min<qint64>(value, std::numeric_limits<qint32>::max()));
}

QString NormalizeNumber(const QString &text)
{
    return QString::number(LeadingInt(text));
}

QString StripSeparators(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c == u',' || c == u'\'')
            c = u' ';
    }
    return result;
}

QDateTime ParseTripDateTime(const QString &text)
{
    const int year = LeadingInt(text.mid(0, 4));
    const int month = LeadingInt(text.mid(4, 2));
    const int day = LeadingInt(text.mid(6, 2));
    const int hour = LeadingInt(text.mid(8, 2));
    const int minute = LeadingInt(text.mid(10, 2));
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        throw ConversionError(QLatin1String(kInvalidDate));
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        throw ConversionError(QLatin1String(kInvalidTime));
    return WallDateTime(QDate(year, month, day), QTime(hour, minute));
}
