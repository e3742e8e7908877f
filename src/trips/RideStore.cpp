#include "trips/RideStore.h"

#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "trips/RideRow.h"

#include <QDateTime>
#include <QSqlError>

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

QString insertStatement(const RideRow &row, const QString &output, const QString &returning)
{
    QString placeholders;
    for (qsizetype i = 0; i < row.columns().size(); ++i)
        placeholders += i == 0 ? QLatin1String("?") : QLatin1String(",?");
    return QLatin1String("INSERT INTO Planning (") + row.columns().join(QLatin1Char(',')) + QLatin1String(")") +
           output + QLatin1String(" VALUES (") + placeholders + QLatin1String(")") + returning;
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
    QSqlQuery taken = db.exec(QStringLiteral("SELECT COUNT(*) FROM planning WHERE pla_temp=?"), {key});
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
            db.exec(insertStatement(row, {}, {}), params(db, row)).finish();
            break;
        } catch (const DatabaseError &e) {
            if (!refusedForKey(db, e, row.text(kTempColumn)))
                throw;
            row.setText(kTempColumn, nextKey());
        }
    }
    QSqlQuery found = db.exec(QStringLiteral("SELECT pla_id FROM planning WHERE pla_temp=?"), {row.text(kTempColumn)});
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
    if (findByKey)
        return insertByTemporaryKey(db, row, nextKey);
    switch (db.dialect()) {
    case DbDialect::SqlServer: {
        // OUTPUT ... INTO a table variable also works when Planning has triggers.
        QSqlQuery q = db.exec(QLatin1String("SET NOCOUNT ON; DECLARE @ids TABLE (id int); ") +
                                  insertStatement(row, QStringLiteral(" OUTPUT INSERTED.pla_id INTO @ids"), {}) +
                                  QLatin1String("; SELECT id FROM @ids;"),
                              params(db, row));
        return firstId(q);
    }
    case DbDialect::SQLite:
    case DbDialect::PostgreSQL: {
        QSqlQuery q = db.exec(insertStatement(row, {}, QStringLiteral(" RETURNING pla_id")), params(db, row));
        return firstId(q);
    }
    case DbDialect::OtherOdbc:
        break;
    }
    return insertByTemporaryKey(db, row, nextKey);
}

bool HasCancelledColumn(DispatchDb &db)
{
    // The connection is opened first, so a database that cannot be reached is an error, not a missing column.
    db.connection();
    try {
        db.exec(QLatin1String("SELECT ") + QLatin1String(kCancelledColumn) + QLatin1String(" FROM Planning WHERE 1=0"))
            .finish();
    } catch (const DatabaseError &) {
        if (!db.isOpen())
            throw;
        return false;
    }
    return true;
}

int FindLiveRide(DispatchDb &db, const TripRideKey &key)
{
    // A ride without a remark (NULL) counts: NOT LIKE alone would leave it out.
    const QString byRemark = QStringLiteral("(pla_opmerking IS NULL OR pla_opmerking NOT LIKE ?)");
    const QString live = key.cancelledColumn
                             ? QLatin1String("(") + QLatin1String(kCancelledColumn) + QLatin1String("=0 OR (") +
                                   QLatin1String(kCancelledColumn) + QLatin1String(" IS NULL AND ") + byRemark +
                                   QLatin1String("))")
                             : byRemark;
    QSqlQuery q = db.exec(QLatin1String("SELECT pla_id FROM planning WHERE pla_extern_ritnummer=? AND pla_eigenaar=? "
                                        "AND ") +
                              live + QLatin1String(" ORDER BY pla_id"),
                          {key.tripNumber, key.owner, QLatin1String(kCancelledRemarkPrefix) + QLatin1Char('%')});
    const int id = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return id;
}

void UpdateRide(DispatchDb &db, int rideId, const RideRow &row)
{
    QString sets;
    for (const QString &column : row.columns()) {
        if (!sets.isEmpty())
            sets += QLatin1Char(',');
        sets += column + QLatin1String("=?");
    }
    QVariantList values = params(db, row);
    values.append(rideId);
    db.exec(QLatin1String("UPDATE Planning SET ") + sets + QLatin1String(" WHERE pla_id=?"), values).finish();
}

void InTransaction(DispatchDb &db, const std::function<void()> &work)
{
    QSqlDatabase connection = db.connection();
    if (!connection.transaction())
        throw DatabaseError(connection.lastError().text());
    try {
        work();
    } catch (...) {
        connection.rollback();
        throw;
    }
    if (!connection.commit()) {
        const QString message = connection.lastError().text();
        connection.rollback();
        throw DatabaseError(message);
    }
}

void WithSavepoint(DispatchDb &db, const std::function<bool()> &work)
{
    // The PostgreSQL ODBC driver sets a savepoint of its own around every statement in a transaction and undoes
    // a failed statement alone (its default rollback level, "statement"); its release after each statement would
    // take a savepoint of ours with it. There a statement tells whether the transaction goes on: if the driver
    // was set up to leave a failed transaction aborted, it fails, and so does the whole transaction, never the
    // ride without its row.
    if (db.dialect() == DbDialect::PostgreSQL) {
        if (!work())
            db.exec(QStringLiteral("SELECT 1")).finish();
        return;
    }
    // The savepoint lives until the transaction ends.
    const bool sqlServer = db.dialect() == DbDialect::SqlServer;
    db.exec(sqlServer ? QStringLiteral("SAVE TRANSACTION vorano_sp") : QStringLiteral("SAVEPOINT vorano_sp")).finish();
    if (!work()) {
        db.exec(sqlServer ? QStringLiteral("ROLLBACK TRANSACTION vorano_sp")
                          : QStringLiteral("ROLLBACK TO SAVEPOINT vorano_sp"))
            .finish();
    }
}
