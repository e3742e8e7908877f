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

namespace
{

const char *const kValueTags[] = {"id",      "tripaction", "pickuptime",  "pickupdate", "deliverytime", "vehicletype",
                                  "product", "wheelchair", "combination", "passengers", "price",        "distance"};

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
    const MemoryControls controls = makeControls(flags);
    const QDateTime now(QDate(2015, 3, 29), QTime(2, 30), QTimeZone(QByteArrayLiteral("Europe/Amsterdam")));
    TripTexts trip;
    trip.trip = item;
    trip.client = ReadXMLTag(item, QStringLiteral("client"));
    if (!trip.client.isEmpty())
        trip.trip.remove(trip.client);

    for (const char *tag : kValueTags) {
        const QString value = ReadXMLTag(trip.trip, QLatin1String(tag));
        (void)LeadingInt(value);
        (void)NormalizeNumber(value);
        fuzzCheck(StripSeparators(value).size() == value.size(), "separators become blanks");
        try {
            (void)ParseTripDateTime(value);
        } catch (const ConversionError &) {
        }
        fuzzCheck(ToSingleByteText(value).size() <= value.size(), "one character per character");
        qint32 number = 0;
        (void)StrictInt(value, number);
        try {
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
    for (const bool found : {false, true}) {
        try {
            (void)BuildChangedRide(trip, controls, now, QStringLiteral("T2"), found, manual);
        } catch (const ConversionError &) {
        }
    }
}
