#include "feedback/StatusDocument.h"

#include "base/FormatDateTime.h"
#include "link/KwpDocument.h"
#include "link/XmlText.h"

namespace
{

const QString kZeroDateTime = QStringLiteral("18991230000000");
const QString kNoCoordinate = QStringLiteral("0.0");
const QString kNoShowStatus = QStringLiteral("L");

// A decimal text split into its parts: "-12.5" gives negative, "12", "5".
struct DecimalParts {
    bool valid = false;
    bool negative = false;
    QString whole;
    QString fraction;
};

DecimalParts splitDecimal(const QString &text)
{
    DecimalParts p;
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        p.negative = t[i] == QLatin1Char('-');
        ++i;
    }
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
        p.whole += t[i++];
    if (i < t.size() && (t[i] == QLatin1Char('.') || t[i] == QLatin1Char(','))) {
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
            p.fraction += t[i++];
    }
    p.valid = i == t.size() && (!p.whole.isEmpty() || !p.fraction.isEmpty());
    return p;
}

QString withoutLeadingZeros(const QString &digits)
{
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits[i] == QLatin1Char('0'))
        ++i;
    return digits.mid(i);
}

bool allZeros(const QString &digits)
{
    for (QChar c : digits)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

// Adds one to a string of decimal digits.
QString incremented(QString digits)
{
    qsizetype i = digits.size() - 1;
    for (; i >= 0; --i) {
        if (digits[i] == QLatin1Char('9')) {
            digits[i] = QLatin1Char('0');
        } else {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
    }
    return QLatin1Char('1') + digits;
}

QString number(qint64 value)
{
    return QString::number(value);
}

QString element(const char *name, const QString &content)
{
    const QString tag = QString::fromLatin1(name);
    return QLatin1Char('<') + tag + QLatin1Char('>') + content + QLatin1String("</") + tag + QLatin1Char('>');
}

} // namespace

QString FormatStatusDateTime(const QDateTime &value)
{
    // A wall-clock value is always valid; the date alone tells a missing value.
    if (!value.date().isValid())
        return kZeroDateTime;
    return FormatDateTime(QString::fromLatin1(kStatusDateTimePattern), value);
}

QString FormatCoordinate(const QString &decimal)
{
    constexpr int places = 5;
    const DecimalParts p = splitDecimal(decimal);
    if (!p.valid)
        return QStringLiteral("0,00000");
    const QString fraction = p.fraction.leftJustified(places + 1, QLatin1Char('0'));
    QString digits = (p.whole.isEmpty() ? QStringLiteral("0") : p.whole) + fraction.left(places);
    if (fraction[places] >= QLatin1Char('5'))
        digits = incremented(digits);
    digits = withoutLeadingZeros(digits).rightJustified(places + 1, QLatin1Char('0'));
    const QString sign = p.negative && !allZeros(digits) ? QStringLiteral("-") : QString();
    return sign + digits.left(digits.size() - places) + QLatin1Char(',') + digits.right(places);
}

QString FormatOdometer(const QString &decimal)
{
    const DecimalParts p = splitDecimal(decimal);
    if (!p.valid)
        return QStringLiteral("0");
    const QString digits = withoutLeadingZeros(p.whole + p.fraction.leftJustified(3, QLatin1Char('0'), true));
    if (allZeros(digits))
        return QStringLiteral("0");
    return (p.negative ? QStringLiteral("-") : QString()) + digits;
}

QString BuildSendStatusDocument(const EventRow &row, const QString &userName, const QString &password)
{
    QDateTime moment = row.kop_datumtijd;
    QString param1;
    bool coordinates = true;
    switch (row.kop_type) {
    case 2:
        break;
    case 3:
    case 5:
    case 7:
        moment = row.pla_tijdstip_bestemmen;
        break;
    case 4:
        moment = row.pla_tijdstip_vrijmelden;
        break;
    case 6:
        moment = row.pla_tijdstip_toewijzen;
        break;
    case 8:
        moment = row.pla_eta_klok;
        param1 = FormatStatusDateTime(row.pla_eta);
        break;
    case 9:
        moment = row.pla_etd_klok;
        param1 = FormatStatusDateTime(row.pla_etd);
        break;
    default:
        // Type 1 and every unknown type: the event moment and no position.
        coordinates = false;
        break;
    }
    const QString trip = element("id", number(row.pla_extern)) + element("externalID", number(row.pla_id)) +
                         element("datetime", FormatStatusDateTime(moment)) +
                         element("messagetype", number(row.kop_type)) +
                         element("latitude", coordinates ? FormatCoordinate(row.kop_latitude) : kNoCoordinate) +
                         element("longitude", coordinates ? FormatCoordinate(row.kop_longitude) : kNoCoordinate) +
                         element("speed", {}) + element("direction", {}) + element("param1", param1) +
                         element("param2", {}) + element("param3", {}) + element("odometer", {}) + element("info", {});
    const QString action = QString::fromLatin1(KwpAction::SendStatus);
    return BuildRequest(KwpVersion(action), action, userName, password, element("triplist", element("trip", trip)));
}

QString BuildProcessTripsDocument(const EventRow &row, const QString &userName, const QString &password)
{
    const QString trip =
        element("id", number(row.pla_extern)) + element("externalID", number(row.pla_id)) +
        element("realFromDateTime", FormatStatusDateTime(row.pla_tijdstip_bestemmen)) +
        element("realDestinationDateTime", FormatStatusDateTime(row.pla_tijdstip_vrijmelden)) +
        element("realArrivalAtFromDateTime", FormatStatusDateTime(row.pla_tijdstip_bestemmen)) +
        element("realPassengers", number(row.pla_lopers + row.pla_rollers)) +
        element("noShow", row.pla_status == kNoShowStatus ? QStringLiteral("1") : QStringLiteral("0")) +
        element("noShowComment", EscapeXmlText(row.pla_redenloosmelden)) +
        element("odoMeterStart", FormatOdometer(row.pla_odo_start)) +
        element("odoMeterEnd", FormatOdometer(row.pla_odo_stop)) + element("realcombinationid", number(row.pla_route)) +
        element("combined", row.pla_van > 0 ? QStringLiteral("1") : QStringLiteral("0")) +
        element("licenseplatenumber", EscapeXmlText(row.wag_kenteken)) +
        element("vehiclenumber", number(row.wag_taxis));
    const QString action = QString::fromLatin1(KwpAction::processTrips);
    return BuildRequest(KwpVersion(action), action, userName, password, element("triplist", element("trip", trip)));
}

QString BuildStatusDocument(const EventRow &row, const QString &userName, const QString &password)
{
    return row.kop_type == 0 ? BuildProcessTripsDocument(row, userName, password)
                             : BuildSendStatusDocument(row, userName, password);
}
