#include "trips/RideStore.h"

#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "trips/RideRow.h"

#include <QDateTime>

namespace
{

const QLatin1String kTempColumn("pla_temp");

QVariantList params(DispatchDb &db, const RideRow &row)
{
    QVariantList out;
    out.reserve(row.values().size());
    for (const QVariant &v : row.values()) {
        if (v.metaType().id() == QMetaType::QDateTime) {
            out.append(db.dateTimeParam(v.toDateTime()));
        } else if (v.metaType().id() == QMetaType::QString && v.toString().isNull()) {
            out.append(QVariant(QStringLiteral(""))); // an empty text, not NULL
        } else {
            out.append(v);
        }
    }
    return out;
}

int firstId(QSqlQuery &q)
{
    if (!q.next())
        throw DatabaseError(QStringLiteral("De nieuwe rit is niet teruggevonden in Planning."));
    const int id = q.value(0).toInt();
    q.finish();
    return id;
}

bool keyTaken(DispatchDb &db, const QString &key)
{
    QSqlQuery taken = db.exec(db.dialect().temporaryKeyCount(), {key});
    const bool used = taken.next() && taken.value(0).toInt() > 0;
    taken.finish();
    return used;
}

// Whether a failed insert was refused for its temporary key: another program stored a row with that key between
// the check and the insert, and the unique index on pla_temp said no. The drivers name the column or its index in
// the message; where one does not, the key is found taken. (A database that aborts the whole transaction after a
// refused statement refuses the next key too; the ride is then not stored and its trip comes again.)
bool refusedForKey(DispatchDb &db, const DatabaseError &error, const QString &key)
{
    if (error.message().contains(kTempColumn, Qt::CaseInsensitive))
        return true;
    try {
        return keyTaken(db, key);
    } catch (const DatabaseError &) {
        return false; // the original error is the one to report
    }
}

int insertByTemporaryKey(DispatchDb &db, RideRow &row, const std::function<QString()> &nextKey)
{
    constexpr int kMostKeys = 1000;
    // A key that another row already carries could not tell the new ride apart.
    for (int attempt = 0;; ++attempt) {
        if (attempt > kMostKeys)
            throw DatabaseError(QStringLiteral("Geen vrije tijdelijke sleutel voor de nieuwe rit."));
        if (keyTaken(db, row.text(kTempColumn))) {
            row.setText(kTempColumn, nextKey());
            continue;
        }
        try {
            db.exec(db.dialect().insertRide(row.columns()), params(db, row)).finish();
            break;
        } catch (const DatabaseError &e) {
            if (!refusedForKey(db, e, row.text(kTempColumn)))
                throw;
            row.setText(kTempColumn, nextKey());
        }
    }
    QSqlQuery found = db.exec(db.dialect().rideByTemporaryKey(), {row.text(kTempColumn)});
    if (!found.next())
        return 0;
    const int id = found.value(0).toInt();
    if (found.next())
        throw DatabaseError(QStringLiteral("Meer dan een rit met tijdelijke sleutel %1.").arg(row.text(kTempColumn)));
    found.finish();
    return id;
}

} // namespace

int InsertRide(DispatchDb &db, RideRow &row, const std::function<QString()> &nextKey, bool findByKey)
{
    const QString insert = findByKey ? QString() : db.dialect().insertRideReturningId(row.columns());
    if (insert.isEmpty())
        return insertByTemporaryKey(db, row, nextKey);
    QSqlQuery q = db.exec(insert, params(db, row));
    return firstId(q);
}

bool HasCancelledColumn(DispatchDb &db)
{
    return db.hasColumn(QStringLiteral("Planning"), QLatin1String(kCancelledColumn));
}

LiveRide FindLiveRide(DispatchDb &db, const TripRideKey &key)
{
    const QString sql = db.dialect().findLiveRide(key.cancelledColumn);
    const QString cancelledRemark = QLatin1String(kCancelledRemarkPrefix) + QLatin1Char('%');
    for (const QString &owner : key.owners) {
        QSqlQuery q = db.exec(sql, {key.tripNumber, owner, cancelledRemark});
        const int id = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        if (id > 0)
            return {id, owner};
    }
    return {};
}

void TakeRide(DispatchDb &db, int rideId)
{
    QSqlQuery q = db.exec(db.dialect().takeRide(), {rideId});
    const bool taken = q.next();
    q.finish();
    if (!taken)
        throw DatabaseError(
            QStringLiteral("Rit %1 wordt vastgehouden door een ander programma; er is niets gewijzigd.").arg(rideId));
}

void UpdateRide(DispatchDb &db, int rideId, const RideRow &row)
{
    QVariantList values = params(db, row);
    values.append(rideId);
    db.exec(db.dialect().updateRide(row.columns()), values).finish();
}

void WithSavepoint(DispatchDb &db, const std::function<bool()> &work)
{
    const SqlDialect &sql = db.dialect();
    const QString savepoint = sql.savepoint();
    // Where the driver undoes a failed statement alone and keeps no savepoint of ours, a statement tells whether
    // the transaction goes on: if the driver was set up to leave a failed transaction aborted, it fails, and so
    // does the whole transaction, never the ride without its row.
    if (savepoint.isEmpty()) {
        if (!work())
            db.exec(sql.transactionCheck()).finish();
        return;
    }
    // The savepoint lives until the transaction ends.
    db.exec(savepoint).finish();
    if (!work())
        db.exec(sql.rollbackToSavepoint()).finish();
}
