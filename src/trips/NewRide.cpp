#include "trips/NewRide.h"

#include "base/Conversions.h"
#include "link/ReadXmlTag.h"
#include "reference/ReferenceLookup.h"
#include "settings/Controls.h"
#include "trips/RideDefaults.h"
#include "trips/RideText.h"
#include "trips/TripValues.h"

RideRow BuildNewRide(const TripTexts &trip, const Controls &controls, const QDateTime &now, const QString &temporaryKey,
                     bool manual)
{
    const QString &t = trip.trip;
    const QString &c = trip.client;
    // Every element read here is a leaf: its value is the text it stands for.
    auto tag = [](const QString &text, const char *name) { return ReadXMLValue(text, QLatin1String(name)); };
    // The first n characters of an element, commas and apostrophes made blanks.
    auto cut = [&](const QString &text, const char *name, qsizetype n) {
        return StripSeparators(tag(text, name).left(n));
    };

    const QString rideText = BuildRideText(t, c, manual ? RideTextKind::ManualNewTrip : RideTextKind::NewTrip);
    const bool wheelchair = WheelchairMark(tag(t, "wheelchair")) == QLatin1String("T");
    const bool soortWagen = controls.checked(Control::SoortWagen);
    const QString vehicleLetter = soortWagen ? VehicleLetter(controls, t) : QString();
    const qint32 tariff = TariffCode(controls);

    RideRow row;
    FillAppendDefaults(row, RideQuery::ADOINS, controls, now, temporaryKey);
    if (manual)
        row.setInt(QStringLiteral("pla_bellen"), CallbackWanted(t) ? 1 : 0);

    row.setText(QStringLiteral("pla_eigenaar"), controls.text(Control::Eigenaar));
    const qint32 zones = LeadingInt(tag(t, "numberofzones"));
    row.setInt(QStringLiteral("pla_zone_aantal"), zones);
    row.setInt(QStringLiteral("pla_zones_extern"), zones);
    row.setText(QStringLiteral("pla_oph_syn"), cut(t, "fromname", 50));
    row.setText(QStringLiteral("pla_bes_syn"), cut(t, "destinationname", 50));
    row.setInt(QStringLiteral("pla_bdr_id"), SettingInt(controls, Control::xBedrijf));
    row.setInt(QStringLiteral("pla_tarief_bedrijf"), tariff);
    row.setInt(QStringLiteral("pla_spoed"), 0);
    row.setInt(QStringLiteral("pla_rc"), controls.checked(Control::xRC) ? 1 : 0);
    row.setInt(QStringLiteral("pla_lopers"), LeadingInt(tag(t, "passengers")));
    const double eb = LeadingInt(tag(t, "eb")) / 100.0;
    row.setDecimal(QStringLiteral("pla_bedrag"), eb);
    row.setDecimal(QStringLiteral("pla_bedrag_3"), eb);
    row.setDecimal(QStringLiteral("pla_bedrag_5"), LeadingInt(tag(t, "price")) / 100.0);
    // Metres to kilometres, rounded to the two decimals the column keeps.
    const qint64 metres = LeadingInt(tag(t, "distance"));
    const qint64 hundredths = metres >= 0 ? (metres + 5) / 10 : (metres - 5) / 10;
    row.setDecimal(QStringLiteral("pla_km_sqr"), hundredths / 100.0);
    row.setDecimal(QStringLiteral("pla_km_map"), hundredths / 100.0);
    row.setInt(QStringLiteral("pla_rollers"), wheelchair ? 1 : 0);
    row.setInt(QStringLiteral("pla_rolstoel"), wheelchair ? 1 : 0);
    if (soortWagen)
        row.setText(QStringLiteral("pla_soortwagen"), vehicleLetter);
    row.setInt(QStringLiteral("pla_reiziger"), SettingInt(controls, Control::xDebiteur));
    row.setText(QStringLiteral("pla_bestnummer"), cut(t, "destinationnumber", 10));
    row.setText(QStringLiteral("pla_bestnummertoe"), cut(t, "destinationnumberextraInformation", 10));
    row.setText(QStringLiteral("pla_bestpostcode"), cut(t, "destinationzip", 10));
    row.setText(QStringLiteral("pla_beststad"), cut(t, "destinationcity", 50));
    row.setText(QStringLiteral("pla_besstraat"), cut(t, "destinationstreet", 50));
    const QDateTime from = ParseTripDateTime(tag(t, "fromdatetime"));
    row.setDateTime(QStringLiteral("pla_datum"), from);
    row.setDateTime(QStringLiteral("pla_tijdstip"), from);
    row.setDateTime(QStringLiteral("pla_tijdstip_locatie"), ParseTripDateTime(tag(t, "destinationdatetime")));
    row.setText(QStringLiteral("pla_ophnummer"), cut(t, "fromnumber", 10));
    row.setText(QStringLiteral("pla_ophnummertoe"), cut(t, "fromnumberextrainformation", 10));
    row.setText(QStringLiteral("pla_ophpostcode"), cut(t, "fromzip", 10));
    row.setText(QStringLiteral("pla_ophstad"), cut(t, "fromcity", 50));
    row.setText(QStringLiteral("pla_ophstraat"), cut(t, "fromstreet", 50));
    const qint32 tripNumber = TripNumber(TripIdText(t));
    row.setInt(QStringLiteral("pla_extern"), tripNumber);
    row.setInt(QStringLiteral("pla_extern_ritnummer"), tripNumber);
    const QString product = tag(t, "productid");
    row.setText(QStringLiteral("pla_referentie"), product);
    if (controls.checked(Control::chkExtern)) {
        const QString costCentre = ReferenceLookup(controls.lines(Control::BasicProducts), product);
        if (!costCentre.isEmpty())
            row.setText(QStringLiteral("pla_extern_kostenplaats"), costCentre.left(20));
    }
    row.setText(QStringLiteral("pla_soortrit"), QStringLiteral("S"));
    row.setText(QStringLiteral("pla_soortvervoer"), controls.text(Control::xSV));
    row.setText(QStringLiteral("pla_status"), QStringLiteral("W"));
    row.setText(QStringLiteral("pla_naam_reiziger"),
                StripSeparators((tag(c, "lastname") + QLatin1Char(' ') + tag(c, "firstname")).left(40)));
    const QString phone = tag(c, "phone");
    if (!phone.isEmpty())
        row.setText(QStringLiteral("pla_telefoon"), StripSeparators(phone.left(20)));
    const QString callbackNumber = tag(c, "callbacknumber");
    if (!callbackNumber.isEmpty())
        row.setText(QStringLiteral("pla_telefoon"), StripSeparators(callbackNumber.left(20)));
    row.setText(QStringLiteral("pla_extern_locatie"), QStringLiteral("WIT"));
    row.setText(QStringLiteral("pla_tekst"), rideText);

    ApplyBeforeStore(row, RideQuery::ADOINS, controls, rideText);
    return row;
}
