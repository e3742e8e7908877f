#include "trips/TripChanges.h"

#include "trips/ChangedRide.h"

#include "base/Conversions.h"
#include "base/FormatDateTime.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "link/ReadXmlTag.h"
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

struct FoundRide {
    bool found = false;
    int id = 0;
    QString remark;
};

// The first ride that carries the trip number.
FoundRide findRide(DispatchDb &db, qint32 tripNumber)
{
    QSqlQuery q =
        db.exec(QStringLiteral("SELECT pla_id, pla_tekst FROM planning WHERE pla_extern_ritnummer=? ORDER BY pla_id"),
                {tripNumber});
    FoundRide ride;
    if (q.next()) {
        ride.found = true;
        ride.id = q.value(0).toInt();
        ride.remark = q.value(1).toString();
    }
    q.finish();
    return ride;
}

} // namespace

void ApplyChange(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual)
{
    const QString idText = ReadXMLValue(trip.trip, QStringLiteral("id"));
    const qint32 tripNumber = TripNumber(idText);
    const FoundRide ride = findRide(ctx.db, tripNumber);
    const QDateTime now = ctx.clock.now();
    RideRow row =
        BuildChangedRide(trip, ctx.controls, now, ride.found ? QString() : keys.next(now), ride.found, manual);
    if (ride.found) {
        UpdateRide(ctx.db, ride.id, row);
        LogRideTransaction(ctx, ride.id, kChangedRideTransaction, QString::number(tripNumber));
    } else {
        InsertRide(ctx.db, row, [&] { return keys.next(ctx.clock.now()); });
    }
    // An added ride is confirmed with 0, as it had no number when the trip came.
    ctx.controls.setText(Control::LaatsteRit, QString::number(ride.found ? ride.id : 0));
    CountProcessed(ctx.controls);
    if (ctx.controls.checked(Control::xBevestigen))
        ConfirmTrip(ctx, idText, ctx.controls.text(Control::LaatsteRit));
}

void ApplyCancellation(OperationContext &ctx, const TripTexts &trip)
{
    const QString idText = ReadXMLValue(trip.trip, QStringLiteral("id"));
    const qint32 tripNumber = TripNumber(idText);
    const FoundRide ride = findRide(ctx.db, tripNumber);
    QString externalId = QStringLiteral("0");
    if (ride.found) {
        RideRow row;
        row.setInt(QStringLiteral("pla_cloud"), 2);
        row.setText(QStringLiteral("pla_opmerking"),
                    QLatin1String(kCancelledRemarkPrefix) +
                        FormatDateTime(QLatin1String(kCancelRemarkPattern), ctx.clock.now()) + QLatin1Char(')'));
        row.setText(QStringLiteral("pla_filter"), ctx.controls.text(Control::StandaardFilter));
        ApplyBeforeStore(row, RideQuery::QWijzigen, ctx.controls, ride.remark);
        UpdateRide(ctx.db, ride.id, row);
        LogRideTransaction(ctx, ride.id, kChangedRideTransaction, QString::number(tripNumber));
        externalId = QString::number(ride.id);
        ctx.controls.setText(Control::LaatsteRit, externalId);
    }
    // Without a ride the confirmation says 0, never a number left from another trip.
    if (ctx.controls.checked(Control::xBevestigen))
        ConfirmTrip(ctx, idText, externalId);
}
