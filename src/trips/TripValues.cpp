#include "trips/TripValues.h"

#include "base/Conversions.h"
#include "base/VoranoError.h"
#include "link/ReadXmlTag.h"
#include "reference/ReferenceLookup.h"

#include <limits>

namespace
{

const QLatin1String kT("T");
const QLatin1String kF("F");

QString mark(const QString &text)
{
    return LeadingInt(text) != 0 ? QString(kT) : QString(kF);
}

// Reads the number after blanks and sign. With `whole`, every character after the sign must be a digit;
// otherwise reading stops at the first other character. Returns false for no digits or a value beyond 32 bits.
bool readNumber(const QString &text, bool whole, qint64 &result)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() &&
        (text.at(i) == QLatin1Char('$') || text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    qint64 value = 0;
    qsizetype digits = 0;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text.at(i), base);
        if (d < 0) {
            if (whole)
                return false;
            break;
        }
        value = value * base + d;
        ++digits;
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    if (digits == 0)
        return false;
    value = negative ? -value : value;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return false;
    result = value;
    return true;
}

} // namespace

QString WheelchairMark(const QString &wheelchairText)
{
    return mark(wheelchairText);
}

QString CombineMark(const QString &combinationText)
{
    return mark(combinationText);
}

QString VehicleLetter(const Controls &controls, const QString &tripText)
{
    const QString id = ReadXMLValue(ReadXMLTag(tripText, QStringLiteral("vehicletype")), QStringLiteral("id"));
    return ReferenceLookup(controls.lines(Control::BasicVehicleTypes), id).left(1);
}

qint32 TariffCode(const Controls &controls)
{
    return LeadingInt(controls.text(Control::xStandaardTarief));
}

bool StrictInt(const QString &text, qint32 &value)
{
    qint64 v = 0;
    if (!readNumber(text, true, v))
        return false;
    value = qint32(v);
    return true;
}

qint32 SettingInt(const Controls &controls, Control control)
{
    const QString text = controls.text(control);
    qint32 value = 0;
    if (!StrictInt(text, value))
        throw SettingError(QStringLiteral("''%1'' is not a valid integer value").arg(text));
    return value;
}

qint32 FieldInt(const QString &text, const QString &column)
{
    qint32 value = 0;
    if (!StrictInt(text, value))
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, column));
    return value;
}

QString TripIdText(const QString &tripText)
{
    return ReadXMLChildValue(tripText, QStringLiteral("id"));
}

qint32 TripNumber(const QString &idText)
{
    qint64 v = 0;
    if (readNumber(idText, false, v))
        return qint32(v);
    // No digits gives 0, as everywhere else; digits beyond 32 bits are refused.
    if (LeadingInt(idText) == 0)
        return 0;
    throw ConversionError(
        QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(idText, QStringLiteral("pla_extern")));
}

bool WholeTripNumber(const QString &idText, qint32 &number)
{
    const QString digits = idText.trimmed();
    if (digits.isEmpty())
        return false;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max())
            return false;
    }
    if (value == 0)
        return false;
    number = qint32(value);
    return true;
}

QString LowerAsciiLetters(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return out;
}
