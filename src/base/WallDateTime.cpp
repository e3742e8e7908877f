#include "base/WallDateTime.h"

namespace
{

// Digits only, exactly `width` of them, from `pos`.
bool readDigits(QStringView text, qsizetype pos, qsizetype width, int &value)
{
    if (pos + width > text.size())
        return false;
    value = 0;
    for (qsizetype i = pos; i < pos + width; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

} // namespace

QDateTime WallDateTime(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime ToWallDateTime(const QDateTime &value)
{
    const QDate date = value.date();
    if (!date.isValid())
        return {};
    const QTime time = value.time();
    return WallDateTime(date, time.isValid() ? time : QTime(0, 0));
}

QDateTime ParseWallDateTime(const QString &input)
{
    const QStringView text = QStringView(input).trimmed();
    int year = 0, month = 0, day = 0;
    if (!readDigits(text, 0, 4, year) || text.size() < 10 || text[4] != u'-' || !readDigits(text, 5, 2, month) ||
        text[7] != u'-' || !readDigits(text, 8, 2, day))
        return {};
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};
    if (text.size() == 10)
        return WallDateTime(date, QTime(0, 0));

    int hour = 0, minute = 0, second = 0, msec = 0;
    if ((text[10] != u' ' && text[10] != u'T') || !readDigits(text, 11, 2, hour) || text.size() < 16 ||
        text[13] != u':' || !readDigits(text, 14, 2, minute))
        return {};
    qsizetype pos = 16;
    if (pos < text.size()) {
        if (text[pos] != u':' || !readDigits(text, pos + 1, 2, second))
            return {};
        pos += 3;
        if (pos < text.size()) {
            // A fraction of a second: its first three digits are the milliseconds.
            if (text[pos] != u'.' || pos + 1 == text.size())
                return {};
            int scale = 100;
            for (qsizetype i = pos + 1; i < text.size(); ++i) {
                const char16_t c = text[i].unicode();
                if (c < u'0' || c > u'9')
                    return {};
                msec += (c - u'0') * scale;
                scale /= 10;
            }
        }
    }
    const QTime time(hour, minute, second, msec);
    if (!time.isValid())
        return {};
    return WallDateTime(date, time);
}

QString FormatWallDateTime(const QDateTime &value)
{
    const QTime t = value.time();
    return value.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           QTime(t.hour(), t.minute(), t.second()).toString(QStringLiteral("HH:mm:ss"));
}
