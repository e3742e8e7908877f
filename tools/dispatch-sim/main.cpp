// dispatch-sim: plays the dispatch product beside a demo database. As rides appear in Planning it assigns
// vehicles and queues the events a real dispatch would queue in the outbox koppelingen (assigned, ETA, position,
// picked up, dropped off, final report), one step per ride per tick. It prints a progress line per tick.
//
// dispatch-sim --database FILE [--owner 007] [--interval-ms 3000] [--vehicles 6] [--ticks N]

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

#include <cstdio>

namespace {

QString sqliteTime(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

class DispatchSim {
public:
    DispatchSim(QSqlDatabase db, QString owner, int vehicles)
        : m_db(std::move(db))
        , m_owner(std::move(owner))
        , m_vehicles(vehicles)
    {
    }

    bool tick()
    {
        // Never create the file: the client creates it with its schema at its first database use.
        if (!m_db.isOpen() && !QFileInfo::exists(m_db.databaseName())) {
            if (!m_saidWaiting) { // once: the client makes the file at its first retrieval, a minute away
                std::printf("dispatch-sim: wacht op de database %s\n", qPrintable(m_db.databaseName()));
                std::fflush(stdout);
                m_saidWaiting = true;
            }
            return true;
        }
        if (!m_db.isOpen() && !m_db.open()) {
            std::fprintf(stderr, "dispatch-sim: database: %s\n", qPrintable(m_db.lastError().text()));
            return false;
        }
        if (!m_db.transaction())
            return report(m_db.lastError().text());
        const bool ok = ensureVehicles() && advanceRides();
        if (!ok) {
            m_db.rollback();
            return false;
        }
        m_db.commit();
        printProgress();
        return true;
    }

private:
    bool report(const QString &what)
    {
        std::fprintf(stderr, "dispatch-sim: %s\n", qPrintable(what));
        return false;
    }

    bool exec(QSqlQuery &q)
    {
        if (!q.exec())
            return report(q.lastError().text() + QStringLiteral(" in ") + q.lastQuery());
        return true;
    }

    bool ensureVehicles()
    {
        for (int id = 1; id <= m_vehicles; ++id) {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("INSERT OR IGNORE INTO wagens (wag_id, wag_kenteken, wag_taxis) VALUES (?, ?, ?)"));
            q.addBindValue(id);
            q.addBindValue(QStringLiteral("%1-TX-%2").arg(10 + id).arg(id, 2, 10, QLatin1Char('0')));
            q.addBindValue(100 + id);
            if (!exec(q))
                return false;
        }
        return true;
    }

    // The number of events queued so far for a ride tells how far the ride has got. Cancelled rides (pla_cloud 2)
    // are not driven.
    bool advanceRides()
    {
        QSqlQuery rides(m_db);
        rides.prepare(QStringLiteral(
            "SELECT pla_id, COALESCE(pla_wagen, 0), (SELECT COUNT(*) FROM koppelingen WHERE kop_pla_id = pla_id) "
            "FROM Planning WHERE pla_eigenaar = ? AND COALESCE(pla_cloud, 0) <> 2 ORDER BY pla_id"));
        rides.addBindValue(m_owner);
        if (!exec(rides))
            return false;
        struct Ride {
            int id;
            int vehicle;
            int events;
        };
        QList<Ride> todo;
        while (rides.next())
            todo.append({rides.value(0).toInt(), rides.value(1).toInt(), rides.value(2).toInt()});
        rides.finish();

        const QDateTime now = QDateTime::currentDateTime();
        for (const Ride &r : todo) {
            if (r.events >= kSteps)
                continue;
            if (!step(r.id, r.vehicle, r.events, now))
                return false;
        }
        return true;
    }

    static constexpr int kSteps = 6;

    bool step(int ride, int vehicle, int stage, const QDateTime &now)
    {
        QRandomGenerator *rnd = QRandomGenerator::global();
        const double lat = 52.30 + rnd->bounded(1000) / 10000.0;
        const double lon = 4.80 + rnd->bounded(1000) / 10000.0;
        QString update;
        QVariantList values;
        int type = 0;
        switch (stage) {
        case 0: // assigned to a vehicle
            if (vehicle == 0)
                vehicle = 1 + int(rnd->bounded(m_vehicles));
            update = QStringLiteral("pla_wagen = ?, pla_tijdstip_toewijzen = ?");
            values = {vehicle, sqliteTime(now)};
            type = 6;
            break;
        case 1: // estimated time of arrival at the pick-up
            update = QStringLiteral("pla_eta = ?, pla_eta_klok = ?");
            values = {sqliteTime(now.addSecs(600)), sqliteTime(now)};
            type = 8;
            break;
        case 2: // position on the way
            type = 2;
            break;
        case 3: // passenger picked up
            update = QStringLiteral("pla_tijdstip_bestemmen = ?, pla_odo_start = ?");
            values = {sqliteTime(now), 10000 + rnd->bounded(50000) / 100.0};
            type = 3;
            break;
        case 4: // passenger dropped off
            update = QStringLiteral("pla_tijdstip_vrijmelden = ?, pla_odo_stop = COALESCE(pla_odo_start, 0) + ?");
            values = {sqliteTime(now), 5 + rnd->bounded(2000) / 100.0};
            type = 4;
            break;
        default: { // final report: one ride in ten is a no-show
            const bool noShow = rnd->bounded(10) == 0;
            update = QStringLiteral("pla_status = ?, pla_redenloosmelden = ?, pla_route = ?");
            values = {noShow ? QStringLiteral("L") : QStringLiteral("V"),
                      noShow ? QStringLiteral("Klant niet aanwezig") : QString(), ride};
            type = 0;
            break;
        }
        }
        if (!update.isEmpty()) {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("UPDATE Planning SET %1 WHERE pla_id = ?").arg(update));
            for (const QVariant &v : values)
                q.addBindValue(v);
            q.addBindValue(ride);
            if (!exec(q))
                return false;
        }
        QSqlQuery ev(m_db);
        ev.prepare(QStringLiteral("INSERT INTO koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                                  "kop_datumtijd, kop_latitude, kop_longitude) VALUES (?, ?, 0, ?, ?, ?, ?)"));
        ev.addBindValue(ride);
        ev.addBindValue(type);
        ev.addBindValue(m_owner);
        ev.addBindValue(sqliteTime(now.addSecs(stage)));
        ev.addBindValue(lat);
        ev.addBindValue(lon);
        return exec(ev);
    }

    int count(const QString &sql)
    {
        QSqlQuery q(m_db);
        q.prepare(sql);
        q.addBindValue(m_owner);
        if (!q.exec() || !q.next())
            return -1;
        return q.value(0).toInt();
    }

    void printProgress()
    {
        const int rides = count(QStringLiteral("SELECT COUNT(*) FROM Planning WHERE pla_eigenaar = ?"));
        const int pending = count(QStringLiteral("SELECT COUNT(*) FROM koppelingen WHERE kop_eigenaar = ? AND kop_status = 0"));
        const int accepted = count(QStringLiteral("SELECT COUNT(*) FROM koppelingen WHERE kop_eigenaar = ? AND kop_status = 1"));
        const int refused = count(QStringLiteral("SELECT COUNT(*) FROM koppelingen WHERE kop_eigenaar = ? AND kop_status = 3"));
        std::printf("%s  ritten: %d  meldingen wachtend: %d  geaccepteerd: %d  geweigerd: %d\n",
                    qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))), rides, pending, accepted,
                    refused);
        std::fflush(stdout);
    }

    QSqlDatabase m_db;
    QString m_owner;
    int m_vehicles;
    bool m_saidWaiting = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays the dispatch product beside a demo database."));
    parser.addHelpOption();
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("SQLite file"), QStringLiteral("file"));
    const QCommandLineOption owner(QStringLiteral("owner"), QStringLiteral("owner code"), QStringLiteral("code"),
                                   QStringLiteral("007"));
    const QCommandLineOption interval(QStringLiteral("interval-ms"), QStringLiteral("tick interval"), QStringLiteral("ms"),
                                      QStringLiteral("3000"));
    const QCommandLineOption vehicles(QStringLiteral("vehicles"), QStringLiteral("number of vehicles"), QStringLiteral("n"),
                                      QStringLiteral("6"));
    const QCommandLineOption ticks(QStringLiteral("ticks"), QStringLiteral("stop after n ticks (0: never)"),
                                   QStringLiteral("n"), QStringLiteral("0"));
    parser.addOptions({database, owner, interval, vehicles, ticks});
    parser.process(app);
    if (!parser.isSet(database)) {
        std::fprintf(stderr, "dispatch-sim: --database is required\n");
        return 2;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dispatch-sim"));
    db.setDatabaseName(parser.value(database));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    DispatchSim sim(db, parser.value(owner), qMax(1, parser.value(vehicles).toInt()));

    const int maxTicks = parser.value(ticks).toInt();
    int done = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        sim.tick();
        if (maxTicks > 0 && ++done >= maxTicks)
            app.quit();
    });
    timer.start(qMax(100, parser.value(interval).toInt()));
    return app.exec();
}
