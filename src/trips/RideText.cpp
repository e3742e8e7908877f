#include "trips/RideText.h"

#include "base/Conversions.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"

namespace
{

const QLatin1String kLineEnd("\r\n");

class Lines
{
  public:
    void add(const QString &line)
    {
        m_text += CrLfLineBreaks(line);
        m_text += kLineEnd;
    }
    QString take() { return std::move(m_text); }

  private:
    QString m_text;
};

// A part that is read further (a list, a vehicle type): it stays XML.
QString tag(const QString &text, const char *name)
{
    return ReadXMLTag(text, QLatin1String(name));
}

// A leaf value, decoded.
QString value(const QString &text, const char *name)
{
    return ReadXMLValue(text, QLatin1String(name));
}

// Walks the items of a list element of `text`, calling `line` with each item's text.
template <typename F> void eachItem(const QString &text, const char *list, const char *item, F &&line)
{
    ItemWalk walk(tag(text, list), QLatin1String(item));
    QString itemText;
    while (walk.next(itemText))
        line(itemText);
}

const char *tripTypeLine(const QString &triptypeid)
{
    static const char *const lines[] = {"Type rit: taxi", "Type rit: overstap", "Type rit: trein", "Type rit: instap",
                                        "Type rit: uitstap"};
    if (triptypeid.size() == 1 && triptypeid.at(0) >= QLatin1Char('1') && triptypeid.at(0) <= QLatin1Char('5'))
        return lines[triptypeid.at(0).unicode() - u'1'];
    return nullptr;
}

const char *timeAnchorLine(const QString &timeanchor)
{
    if (timeanchor == QLatin1String("0"))
        return "Geboekt op: onbekend,";
    if (timeanchor == QLatin1String("1"))
        return "Geboekt op: vertrek";
    if (timeanchor == QLatin1String("2"))
        return "Geboekt op: bestemming";
    return nullptr;
}

void addExtraFields(Lines &lines, const QString &text)
{
    eachItem(text, "extrafields", "extrafield", [&](const QString &f) {
        lines.add(value(f, "id") + QLatin1Char('=') + value(f, "name") + QLatin1String(" - ") + value(f, "value"));
    });
}

} // namespace

QString BuildRideText(const QString &tripText, const QString &clientText, RideTextKind kind)
{
    const bool manual = kind == RideTextKind::ManualNewTrip || kind == RideTextKind::ManualChangedTrip;
    const bool longAccessibility = kind == RideTextKind::NewTrip;
    const QString &t = tripText;
    const QString &c = clientText;
    Lines lines;

    lines.add(QLatin1String("Naam: ") + value(c, "lastname") + QLatin1Char(' ') + value(c, "firstname"));
    lines.add(QLatin1String("GSM: ") + value(c, "mobile"));
    lines.add(QLatin1String("Opmerking: ") + value(c, "comment"));
    lines.add(QLatin1String("Identificatie: ") + value(c, "number"));
    lines.add(QLatin1String("Wagensoort: ") + value(tag(t, "vehicletype"), "name"));
    lines.add(QLatin1String("Commentaar: ") + StripSeparators(value(t, "tripexternalcomment")));

    if (!manual) {
        if (const char *line = tripTypeLine(value(t, "triptypeid")))
            lines.add(QLatin1String(line));
        if (const char *line = timeAnchorLine(value(t, "timeanchor")))
            lines.add(QLatin1String(line));
        eachItem(t, "vialocations", "vialocation", [&](const QString &v) {
            lines.add(QLatin1String("VIA:") + value(v, "name"));
            lines.add(value(v, "street") + QLatin1Char(' ') + value(v, "number") + QLatin1Char(' ') +
                      value(v, "numberExtraInformation"));
            lines.add(value(v, "zip") + QLatin1Char(' ') + value(v, "city") + QLatin1Char(' ') +
                      value(v, "countrycode"));
            lines.add(QLatin1String("volgorde: ") + value(v, "sequence"));
        });
    }
    if (kind == RideTextKind::ManualNewTrip) {
        switch (LeadingInt(value(t, "clienttripfeedbacktype"))) {
        case 1:
            lines.add(QStringLiteral("Feedback=bellen"));
            break;
        case 2:
            lines.add(QStringLiteral("Feedback=SMS"));
            break;
        default:
            break;
        }
    }
    eachItem(t, "accessibilityequipments", "accessibilityequipment", [&](const QString &a) {
        QString line = value(a, "id") + QLatin1Char('=') + value(a, "name");
        if (longAccessibility)
            line += QLatin1String(" aantal: ") + value(a, "amount");
        lines.add(line);
    });
    eachItem(t, "clientindications", "clientindication",
             [&](const QString &i) { lines.add(value(i, "id") + QLatin1Char('=') + value(i, "name")); });
    if (kind != RideTextKind::ManualChangedTrip)
        addExtraFields(lines, c);
    addExtraFields(lines, t);
    if (kind == RideTextKind::ManualNewTrip) {
        switch (LeadingInt(value(t, "callback"))) {
        case 1:
            lines.add(QStringLiteral("Bellen=Koud terugbellen"));
            break;
        case 2:
            lines.add(QStringLiteral("Bellen=Warm terugbellen"));
            break;
        default:
            break;
        }
    }
    return lines.take();
}

QString CrLfLineBreaks(QString text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), kLineEnd);
    return text;
}

bool CallbackWanted(const QString &tripText)
{
    const int callback = LeadingInt(ReadXMLValue(tripText, QStringLiteral("callback")));
    return callback == 1 || callback == 2;
}
