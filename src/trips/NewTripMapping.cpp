#include "trips/NewTripMapping.h"

#include "trips/NewRide.h"

#include "base/Conversions.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "settings/OwnerHistory.h"
#include "trips/RideDefaults.h"
#include "trips/RideStore.h"
#include "trips/TripTransactions.h"

namespace
{

constexpr int kNewRideTransaction = 91;

} // namespace

TripRideKey RideKeyOfTrip(OperationContext &ctx, qint32 tripNumber)
{
    // The owner as the import writes it into pla_eigenaar (fitted to the column), so the comparison finds it.
    RideRow owner;
    owner.setText(QStringLiteral("pla_eigenaar"), ctx.controls.text(Control::Eigenaar));
    const QString current = owner.text(QStringLiteral("pla_eigenaar"));
    RememberOwnerCode(ctx.controls, current);
    TripRideKey key;
    key.tripNumber = tripNumber;
    key.owners = OwnerCodesInUse(ctx.controls, current);
    key.cancelledColumn = HasCancelledColumn(ctx.db);
    return key;
}

LiveRide FindTripRide(OperationContext &ctx, const TripRideKey &key)
{
    const LiveRide ride = FindLiveRide(ctx.db, key);
    if (ride.id > 0 && ride.owner != key.owner())
        ctx.logAt(LogLevel::Information,
                  QStringLiteral("Rit ID %1 is rit %2 van eerdere eigenaar \"%3\" (eigenaar is nu \"%4\").")
                      .arg(key.tripNumber)
                      .arg(ride.id)
                      .arg(ride.owner, key.owner()));
    return ride;
}

int MapNewTrip(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual, bool *alreadyStored)
{
    const QDateTime now = ctx.clock.now();
    RideRow row = BuildNewRide(trip, ctx.controls, now, keys.next(now), manual);

    // A trip the service offers again (twice in one reply, again after a confirmation that did not arrive, or a
    // saved reply processed once more) keeps the live ride it has: a second ride would send two taxis. Rides of
    // other owners and rides the import cancelled do not count.
    const qint32 tripNumber = row.value(QStringLiteral("pla_extern")).toInt();
    const TripRideKey key = RideKeyOfTrip(ctx, tripNumber);
    if (key.cancelledColumn)
        row.setInt(QLatin1String(kCancelledColumn), 0);

    // The look-up, the ride, its internal action and its transaction row go in together: a failure leaves none of
    // them, so the trip comes again whole, and no ride is ever without its row; and no other writer can store the
    // trip's ride between the look-up and the insert.
    int rideId = 0;
    {
        DispatchDb::Transaction transaction(ctx.db);
        const int existing = FindTripRide(ctx, key).id;
        if (existing > 0) {
            ctx.controls.setText(Control::LaatsteRit, QString::number(existing));
            // An ordinary case (a lost confirmation, a service that offers until confirmed): information, no error.
            ctx.logAt(LogLevel::Information,
                      QStringLiteral("Rit ID %1 staat al als rit %2 in de planning; er is geen nieuwe rit gemaakt.")
                          .arg(tripNumber)
                          .arg(existing));
            if (alreadyStored)
                *alreadyStored = true;
            transaction.commit();
            ctx.db.close();
            return existing;
        }
        rideId = InsertRide(ctx.db, row, [&] { return keys.next(ctx.clock.now()); });
        const int requestCode = ctx.db.readCompanyConstant();
        if (requestCode > 0)
            ctx.db.exec(ctx.db.dialect().internalAction(), {rideId, requestCode}).finish();
        LogRideTransaction(ctx, rideId, kNewRideTransaction, QString::number(tripNumber));
        transaction.commit();
    }
    ctx.controls.setText(Control::LaatsteRit, QString::number(rideId));
    ctx.db.close();
    CountProcessed(ctx.controls);
    return rideId;
}

void CountProcessed(Controls &controls)
{
    controls.setText(Control::Verwerkt, QString::number(LeadingInt(controls.text(Control::Verwerkt)) + 1));
}
