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
        m_text += line;
        m_text += kLineEnd;
    }
    QString take() { return std::move(m_text); }

  private:
    QString m_text;
};

QString tag(const QString &text, const char *name)
{
    return ReadXMLTag(text, QLatin1String(name));
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
        lines.add(tag(f, "id") + QLatin1Char('=') + tag(f, "name") + QLatin1String(" - ") + tag(f, "value"));
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

    lines.add(QLatin1String("Naam: ") + tag(c, "lastname") + QLatin1Char(' ') + tag(c, "firstname"));
    lines.add(QLatin1String("GSM: ") + tag(c, "mobile"));
    lines.add(QLatin1String("Opmerking: ") + tag(c, "comment"));
    lines.add(QLatin1String("Identificatie: ") + tag(c, "number"));
    lines.add(QLatin1String("Wagensoort: ") + tag(tag(t, "vehicletype"), "name"));
    lines.add(QLatin1String("Commentaar: ") + StripSeparators(tag(t, "tripexternalcomment")));

    if (!manual) {
        if (const char *line = tripTypeLine(tag(t, "triptypeid")))
            lines.add(QLatin1String(line));
        if (const char *line = timeAnchorLine(tag(t, "timeanchor")))
            lines.add(QLatin1String(line));
        eachItem(t, "vialocations", "vialocation", [&](const QString &v) {
            lines.add(QLatin1String("VIA:") + tag(v, "name"));
            lines.add(tag(v, "street") + QLatin1Char(' ') + tag(v, "number") + QLatin1Char(' ') +
                      tag(v, "numberExtraInformation"));
            lines.add(tag(v, "zip") + QLatin1Char(' ') + tag(v, "city") + QLatin1Char(' ') + tag(v, "countrycode"));
            lines.add(QLatin1String("volgorde: ") + tag(v, "sequence"));
        });
    }
    if (kind == RideTextKind::ManualNewTrip) {
        switch (LeadingInt(tag(t, "clienttripfeedbacktype"))) {
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
        QString line = tag(a, "id") + QLatin1Char('=') + tag(a, "name");
        if (longAccessibility)
            line += QLatin1String(" aantal: ") + tag(a, "amount");
        lines.add(line);
    });
    eachItem(t, "clientindications", "clientindication",
             [&](const QString &i) { lines.add(tag(i, "id") + QLatin1Char('=') + tag(i, "name")); });
    if (kind != RideTextKind::ManualChangedTrip)
        addExtraFields(lines, c);
    addExtraFields(lines, t);
    if (kind == RideTextKind::ManualNewTrip) {
        switch (LeadingInt(tag(t, "callback"))) {
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

bool CallbackWanted(const QString &tripText)
{
    const int callback = LeadingInt(ReadXMLTag(tripText, QStringLiteral("callback")));
    return callback == 1 || callback == 2;
}
