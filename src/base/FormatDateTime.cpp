#include "base/FormatDateTime.h"

namespace
{

QString number(int value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

} // namespace

QString FormatDateTime(const QString &pattern, const QDateTime &at)
{
    const QDate d = at.date();
    const QTime t = at.time();
    QString out;
    bool afterHour = false;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i).toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run).toLower() == c)
            ++run;
        if (c == QLatin1Char('y')) {
            out += run <= 2 ? number(d.year() % 100, 2) : number(d.year(), 4);
            afterHour = false;
        } else if (c == QLatin1Char('d')) {
            run = qMin<qsizetype>(run, 2);
            out += number(d.day(), int(run));
            afterHour = false;
        } else if (c == QLatin1Char('m')) {
            run = qMin<qsizetype>(run, 2);
            out += number(afterHour ? t.minute() : d.month(), int(run));
            afterHour = false;
        } else if (c == QLatin1Char('h')) {
            run = qMin<qsizetype>(run, 2);
            out += number(t.hour(), int(run));
            afterHour = true;
        } else if (c == QLatin1Char('n')) {
            run = qMin<qsizetype>(run, 2);
            out += number(t.minute(), int(run));
            afterHour = false;
        } else if (c == QLatin1Char('s')) {
            run = qMin<qsizetype>(run, 2);
            out += number(t.second(), int(run));
            afterHour = false;
        } else {
            // Literals (":", "-", blanks) do not end the "minute after hour" rule.
            out += pattern.mid(i, run);
        }
        i += run;
    }
    return out;
}
