#include "trips/TripChanges.h"

#include "trips/ChangedRide.h"

#include "base/Conversions.h"
#include "base/FormatDateTime.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "link/ReadXmlTag.h"
#include "trips/NewTripMapping.h"
#include "trips/RideDefaults.h"
#include "trips/RideStore.h"
#include "trips/RideText.h"
#include "trips/TripConfirmation.h"
#include "trips/TripTransactions.h"
#include "trips/TripValues.h"

#include <QSqlQuery>

namespace
{

constexpr int kChangedRideTransaction = 92;

// The ride text (pla_tekst) of a stored ride, in which the row rules look for their words.
QString storedRideText(DispatchDb &db, int rideId)
{
    QSqlQuery q = db.exec(db.dialect().rideText(), {rideId});
    const QString text = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return text;
}

} // namespace

ChangeResult ApplyChange(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual)
{
    const QString idText = TripIdText(trip.trip);
    const qint32 tripNumber = TripNumber(idText);
    const TripRideKey key = RideKeyOfTrip(ctx, tripNumber);
    // Only the live ride of our owner codes takes the change; without one, the ride is added.
    const int rideId = FindTripRide(ctx, key).id;
    const bool found = rideId > 0;
    const QDateTime now = ctx.clock.now();
    RideRow row = BuildChangedRide(trip, ctx.controls, now, found ? QString() : keys.next(now), found, manual);
    if (found) {
        DispatchDb::Transaction transaction(ctx.db);
        TakeRide(ctx.db, rideId);
        UpdateRide(ctx.db, rideId, row);
        LogRideTransaction(ctx, rideId, kChangedRideTransaction, QString::number(tripNumber));
        transaction.commit();
    } else {
        if (key.cancelledColumn)
            row.setInt(QLatin1String(kCancelledColumn), 0);
        InsertRide(ctx.db, row, [&] { return keys.next(ctx.clock.now()); });
    }
    // An added ride is confirmed with 0, as it had no number when the trip came.
    ctx.controls.setText(Control::LaatsteRit, QString::number(found ? rideId : 0));
    CountProcessed(ctx.controls);
    ChangeResult result{found, false};
    if (ctx.controls.checked(Control::xBevestigen)) {
        ConfirmTrip(ctx, idText, ctx.controls.text(Control::LaatsteRit));
        result.confirmed = true;
    }
    return result;
}

ChangeResult ApplyCancellation(OperationContext &ctx, const TripTexts &trip)
{
    const QString idText = TripIdText(trip.trip);
    const qint32 tripNumber = TripNumber(idText);
    const TripRideKey key = RideKeyOfTrip(ctx, tripNumber);
    const int rideId = FindTripRide(ctx, key).id;
    QString externalId = QStringLiteral("0");
    if (rideId > 0) {
        RideRow row;
        row.setInt(QStringLiteral("pla_cloud"), 2);
        row.setText(QStringLiteral("pla_opmerking"),
                    QLatin1String(kCancelledRemarkPrefix) +
                        FormatDateTime(QLatin1String(kCancelRemarkPattern), ctx.clock.now()) + QLatin1Char(')'));
        row.setText(QStringLiteral("pla_filter"), ctx.controls.text(Control::StandaardFilter));
        if (key.cancelledColumn)
            row.setInt(QLatin1String(kCancelledColumn), 1);
        ApplyBeforeStore(row, RideQuery::QWijzigen, ctx.controls, storedRideText(ctx.db, rideId));
        DispatchDb::Transaction transaction(ctx.db);
        TakeRide(ctx.db, rideId);
        UpdateRide(ctx.db, rideId, row);
        LogRideTransaction(ctx, rideId, kChangedRideTransaction, QString::number(tripNumber));
        transaction.commit();
        externalId = QString::number(rideId);
        ctx.controls.setText(Control::LaatsteRit, externalId);
    } else {
        ctx.logAt(LogLevel::Information,
                  QStringLiteral("Rit ID %1 heeft geen actieve rit in de planning; er is niets geannuleerd.")
                      .arg(tripNumber));
    }
    // Without a ride the confirmation says 0, never a number left from another trip.
    ChangeResult result{rideId > 0, false};
    if (ctx.controls.checked(Control::xBevestigen)) {
        ConfirmTrip(ctx, idText, externalId);
        result.confirmed = true;
    }
    return result;
}
