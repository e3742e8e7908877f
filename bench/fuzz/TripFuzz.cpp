#include "TripFuzz.h"

#include "FuzzSupport.h"
#include "base/Conversions.h"
#include "base/VoranoError.h"
#include "link/ReadXmlTag.h"
#include "settings/MemoryControls.h"
#include "trips/ChangedRide.h"
#include "trips/NewRide.h"
#include "trips/RideText.h"
#include "trips/SingleByteText.h"
#include "trips/TripValues.h"

#include <QTimeZone>

#include <array>

namespace
{

// The values whose conversions are tried on their own, each with the conversions its kind of value goes through
// (a failed date or number conversion ends in an exception, the dearest step of a run: only where it belongs).
struct ValueTag {
    const char *tag;
    bool date;
    bool number;
};
const ValueTag kValueTags[] = {{"id", false, true},           {"tripaction", false, false},
                               {"fromdatetime", true, false}, {"destinationdatetime", true, false},
                               {"vehicletype", false, false}, {"productid", false, false},
                               {"wheelchair", false, false},  {"combination", false, false},
                               {"passengers", false, true},   {"price", false, true},
                               {"distance", false, true},     {"numberofzones", false, true}};

MemoryControls makeControls(unsigned char flags)
{
    MemoryControls controls;
    controls.setLines(Control::BasicVehicleTypes, {QStringLiteral("1=Taxi"), QStringLiteral("2=Rolstoelbus"),
                                                   QStringLiteral("=leeg"), QStringLiteral("3")});
    controls.setLines(Control::BasicProducts, {QStringLiteral("P1=Regio"), QStringLiteral("p2=\u20ac")});
    controls.setChecked(Control::SoortWagen, flags & 1);
    controls.setChecked(Control::xRC, flags & 2);
    controls.setChecked(Control::chkExtern, flags & 4);
    if (flags & 8)
        controls.setText(Control::xStandaardTarief, QStringLiteral("12abc"));
    return controls;
}

} // namespace

void fuzzTrip(const QString &item, unsigned char flags, bool manual)
{
    // Built once: the controls of each flag combination and the zone, so that a run spends its time on the trip.
    static const std::array<MemoryControls, 16> allControls = [] {
        std::array<MemoryControls, 16> all;
        for (unsigned char f = 0; f < 16; ++f)
            all[f] = makeControls(f);
        return all;
    }();
    static const QDateTime now(QDate(2015, 3, 29), QTime(2, 30), QTimeZone(QByteArrayLiteral("Europe/Amsterdam")));
    const MemoryControls &controls = allControls[flags & 15];
    TripTexts trip;
    trip.trip = item;
    trip.client = ReadXMLTag(item, QStringLiteral("client"));
    if (!trip.client.isEmpty())
        trip.trip.remove(trip.client);

    for (const ValueTag &v : kValueTags) {
        const QString value = ReadXMLTag(trip.trip, QLatin1String(v.tag));
        (void)LeadingInt(value);
        (void)NormalizeNumber(value);
        fuzzCheck(StripSeparators(value).size() == value.size(), "separators become blanks");
        fuzzCheck(ToSingleByteText(value).size() <= value.size(), "one character per character");
        qint32 number = 0;
        (void)StrictInt(value, number);
        try {
            if (v.date)
                (void)ParseTripDateTime(value);
            if (v.number)
                (void)TripNumber(value);
        } catch (const ConversionError &) {
        }
    }
    (void)WheelchairMark(trip.trip);
    (void)CombineMark(trip.trip);
    (void)VehicleLetter(controls, trip.trip);
    (void)CallbackWanted(trip.trip);
    for (const RideTextKind kind : {RideTextKind::NewTrip, RideTextKind::ChangedTrip, RideTextKind::ManualNewTrip,
                                    RideTextKind::ManualChangedTrip})
        (void)BuildRideText(trip.trip, trip.client, kind);
    try {
        (void)BuildNewRide(trip, controls, now, QStringLiteral("T1"), manual);
    } catch (const ConversionError &) {
    }
    // A change to a ride that was found or not, by a bit of the flags: one row per run instead of two.
    try {
        (void)BuildChangedRide(trip, controls, now, QStringLiteral("T2"), (flags & 16) != 0, manual);
    } catch (const ConversionError &) {
    }
}
