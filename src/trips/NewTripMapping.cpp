#include "trips/NewTripMapping.h"

#include "trips/NewRide.h"

#include "base/Conversions.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "trips/RideDefaults.h"
#include "trips/RideStore.h"
#include "trips/TripTransactions.h"

namespace
{

constexpr int kNewRideTransaction = 91;

} // namespace

int MapNewTrip(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual)
{
    const QDateTime now = ctx.clock.now();
    RideRow row = BuildNewRide(trip, ctx.controls, now, keys.next(now), manual);

    // A trip the service offers again (twice in one reply, again after a confirmation that did not arrive, or a
    // saved reply processed once more) keeps the ride it has: a second ride would send two taxis. A trip without
    // digits in its id has no number to be found by.
    const qint32 tripNumber = row.value(QStringLiteral("pla_extern")).toInt();
    if (tripNumber != 0) {
        const int existing = FindRideOfTrip(ctx.db, tripNumber);
        if (existing > 0) {
            ctx.controls.setText(Control::LaatsteRit, QString::number(existing));
            ctx.logError(QStringLiteral("Rit ID %1 staat al als rit %2 in de planning; er is geen nieuwe rit gemaakt.")
                             .arg(tripNumber)
                             .arg(existing));
            ctx.db.close();
            return existing;
        }
    }

    // The ride and its internal action go in together: a failure leaves neither, so the trip comes again whole.
    int rideId = 0;
    InTransaction(ctx.db, [&] {
        rideId = InsertRide(ctx.db, row, [&] { return keys.next(ctx.clock.now()); });
        const int requestCode = ctx.db.readCompanyConstant();
        if (requestCode > 0) {
            ctx.db
                .exec(QStringLiteral("insert into InterneActies (iac_rit, iac_code) values (?,?)"),
                      {rideId, requestCode})
                .finish();
        }
    });
    ctx.controls.setText(Control::LaatsteRit, QString::number(rideId));
    LogRideTransaction(ctx, rideId, kNewRideTransaction, QString::number(tripNumber));
    ctx.db.close();
    CountProcessed(ctx.controls);
    return rideId;
}

void CountProcessed(Controls &controls)
{
    controls.setText(Control::Verwerkt, QString::number(LeadingInt(controls.text(Control::Verwerkt)) + 1));
}
