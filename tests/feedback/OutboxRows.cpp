#include "OutboxRows.h"

#include "db/DispatchDb.h"

#include <QSqlQuery>
#include <QStringList>

namespace OutboxRows
{

void addVehicle(DispatchDb &db, int id, const QString &plate, int taxi)
{
    db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (?, ?, ?)"), {id, plate, taxi})
        .finish();
}

void addRide(DispatchDb &db, int id, const QVariant &vehicle, int tripNumber, const QString &status)
{
    const QDateTime base(QDate(2015, 3, 31), QTime(8, 0));
    db.exec(QStringLiteral("insert into Planning (pla_id, pla_wagen, pla_extern, pla_status, pla_van, pla_lopers, "
                           "pla_rollers, pla_redenloosmelden, pla_odo_start, pla_odo_stop, pla_route, "
                           "pla_tijdstip_bestemmen, pla_tijdstip_vrijmelden, pla_eta, pla_eta_klok) "
                           "values (?, ?, ?, ?, 0, 2, 1, ?, ?, ?, 0, ?, ?, ?, ?)"),
            {id, vehicle.isNull() ? QVariant(QMetaType::fromType<int>()) : vehicle, tripNumber,
             status.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(status),
             status == QLatin1String("L") ? QVariant(QStringLiteral("Niet thuis"))
                                          : QVariant(QMetaType::fromType<QString>()),
             QStringLiteral("12345.67"), QStringLiteral("12400.10"), base.addSecs(60), base.addSecs(1800),
             base.addSecs(600), base.addSecs(300)})
        .finish();
}

void addEvent(DispatchDb &db, int id, int ride, int type, const QString &owner, const QDateTime &at, int status,
              double latitude, double longitude)
{
    db.exec(QStringLiteral("insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                           "kop_datumtijd, kop_latitude, kop_longitude) values (?, ?, ?, ?, ?, ?, ?, ?)"),
            {id, ride, type, status, owner, at, latitude, longitude})
        .finish();
}

int eventStatus(DispatchDb &db, int id)
{
    QSqlQuery q = db.exec(QStringLiteral("select kop_status from koppelingen where kop_id=?"), {id});
    const int status = q.next() ? q.value(0).toInt() : -1;
    q.finish();
    return status;
}

QStringList statusTransactions(DispatchDb &db)
{
    QSqlQuery q =
        db.exec(QStringLiteral("select tra_rit, tra_opmerking from TRANSACTIES where tra_code=94 order by tra_id"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString();
    return rows;
}

} // namespace OutboxRows
