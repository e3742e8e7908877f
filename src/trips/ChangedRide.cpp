#include "trips/ChangedRide.h"

#include "base/Conversions.h"
#include "link/ReadXmlTag.h"
#include "settings/Controls.h"
#include "trips/RideDefaults.h"
#include "trips/RideText.h"
#include "trips/TripValues.h"

RideRow BuildChangedRide(const TripTexts &trip, const Controls &controls, const QDateTime &now,
                         const QString &temporaryKey, bool found, bool manual)
{
    const QString &t = trip.trip;
    const QString &c = trip.client;
    // Every element read here is a leaf: its value is the text it stands for.
    auto tag = [](const QString &text, const char *name) { return ReadXMLValue(text, QLatin1String(name)); };
    auto cut = [&](const QString &text, const char *name, qsizetype n) {
        return StripSeparators(tag(text, name).left(n));
    };
    auto present = [&](const QString &text, const char *name) { return !tag(text, name).isEmpty(); };

    RideRow row;
    if (!found) {
        FillAppendDefaults(row, RideQuery::QWijzigen, controls, now, temporaryKey);
        row.setText(QStringLiteral("pla_eigenaar"), controls.text(Control::Eigenaar));
        row.setInt(QStringLiteral("pla_bdr_id"), SettingInt(controls, Control::xBedrijf));
        row.setInt(QStringLiteral("pla_spoed"), 0);
        const qint32 tripNumber = TripNumber(TripIdText(t));
        row.setInt(QStringLiteral("pla_extern"), tripNumber);
        row.setInt(QStringLiteral("pla_extern_ritnummer"), tripNumber);
    } else {
        row.setInt(QStringLiteral("pla_cloud"), 2);
    }
    if (manual)
        row.setInt(QStringLiteral("pla_bellen"), CallbackWanted(t) ? 1 : 0);

    if (present(t, "destinationnumber")) {
        row.setText(QStringLiteral("pla_bestnummer"), cut(t, "destinationnumber", 10));
        row.setText(QStringLiteral("pla_bestnummertoe"), cut(t, "destinationnumberextraInformation", 10));
    }
    if (present(t, "destinationcity"))
        row.setText(QStringLiteral("pla_beststad"), cut(t, "destinationcity", 50));
    if (present(t, "destinationstreet"))
        row.setText(QStringLiteral("pla_besstraat"), cut(t, "destinationstreet", 50));
    if (present(t, "fromnumber")) {
        row.setText(QStringLiteral("pla_ophnummer"), cut(t, "fromnumber", 10));
        row.setText(QStringLiteral("pla_ophnummertoe"), cut(t, "fromnumberextrainformation", 10));
    }
    if (present(t, "fromcity"))
        row.setText(QStringLiteral("pla_ophstad"), cut(t, "fromcity", 50));
    if (present(t, "fromstreet"))
        row.setText(QStringLiteral("pla_ophstraat"), cut(t, "fromstreet", 50));
    if (present(t, "fromdatetime")) {
        const QDateTime from = ParseTripDateTime(tag(t, "fromdatetime"));
        row.setDateTime(QStringLiteral("pla_datum"), from);
        row.setDateTime(QStringLiteral("pla_tijdstip"), from);
    }
    if (present(t, "destinationdatetime"))
        row.setDateTime(QStringLiteral("pla_tijdstip_locatie"), ParseTripDateTime(tag(t, "destinationdatetime")));
    if (present(t, "passengers")) {
        row.setInt(QStringLiteral("pla_lopers"), FieldInt(tag(t, "passengers"), QStringLiteral("pla_lopers")));
        row.setInt(QStringLiteral("pla_rollers"), 0);
    }
    if (present(t, "eb")) {
        const double eb = LeadingInt(tag(t, "eb")) / 100.0;
        row.setDecimal(QStringLiteral("pla_bedrag"), eb);
        row.setDecimal(QStringLiteral("pla_bedrag_3"), eb);
    }
    if (present(t, "price"))
        row.setDecimal(QStringLiteral("pla_bedrag_5"), LeadingInt(tag(t, "price")) / 100.0);
    if (present(t, "tripexternalcomment"))
        row.setText(QStringLiteral("pla_opmerking"),
                    StripSeparators(CrLfLineBreaks(tag(t, "tripexternalcomment")).left(50)));
    if (present(c, "phone"))
        row.setText(QStringLiteral("pla_telefoon"), cut(c, "phone", 40));

    row.setText(QStringLiteral("pla_filter"), controls.text(Control::StandaardFilter));
    row.setText(QStringLiteral("pla_oph_syn"), cut(t, "fromname", 50));
    row.setText(QStringLiteral("pla_bes_syn"), cut(t, "destinationname", 50));

    const QString rideText = BuildRideText(t, c, manual ? RideTextKind::ManualChangedTrip : RideTextKind::ChangedTrip);
    const int wheelchair = WheelchairMark(tag(t, "wheelchair")) == QLatin1String("T") ? 1 : 0;
    row.setInt(QStringLiteral("pla_rolstoel"), wheelchair);
    row.setInt(QStringLiteral("pla_rollers"), wheelchair);
    // The combination of this trip decides: the client's in the retrieval cycle, the trip's own when processed
    // from a file.
    const QString combination = manual ? tag(t, "combination") : tag(c, "combination");
    row.setInt(QStringLiteral("pla_combineren"), CombineMark(combination) == QLatin1String("T") ? 1 : 0);
    if (controls.checked(Control::SoortWagen))
        row.setText(QStringLiteral("pla_soortwagen"), VehicleLetter(controls, t));
    row.setInt(QStringLiteral("pla_zone_aantal"), LeadingInt(tag(t, "numberofzones")));
    row.setText(QStringLiteral("pla_tekst"), rideText);

    ApplyBeforeStore(row, RideQuery::QWijzigen, controls, rideText);
    return row;
}
