#include "TripSequences.h"

#include "ImportHarness.h"
#include "TripFixtures.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace
{

using TripFixtures::reply;
using TripFixtures::trip;

enum class Path { Cycle, Manual };

const char *pathName(Path path)
{
    return path == Path::Cycle ? "retrieval cycle" : "manual processing";
}

// Hands the trips to the import: as the reply of one retrieval cycle, or as a saved reply processed by hand.
void offer(ImportHarness &h, Path path, const QString &trips)
{
    if (path == Path::Cycle) {
        h.service.reply(reply(trips));
        h.cycle();
        return;
    }
    static int files = 0;
    const QString name = h.dir.path() + QStringLiteral("/opgeslagen") + QString::number(++files) + QStringLiteral(".xml");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reply(trips).toUtf8());
    f.close();
    h.manual(name);
}

QString at(int hour)
{
    return QStringLiteral("<fromdatetime>20130514%1</fromdatetime><destinationdatetime>20130514%2</destinationdatetime>")
        .arg(hour * 100, 4, 10, QLatin1Char('0'))
        .arg(hour * 100 + 30, 4, 10, QLatin1Char('0'));
}

QString comment(const QString &text)
{
    return QStringLiteral("<tripexternalcomment>%1</tripexternalcomment>").arg(text);
}

struct StoredRide {
    int id = 0;
    bool cancelled = false;
    int hour = -1;
    QString remark;
    QString owner;
};

QList<StoredRide> ridesOf(ImportHarness &h, int tripNumber)
{
    QSqlQuery q = h.db.exec(QStringLiteral("SELECT pla_id, pla_extern_verwijderd, pla_tijdstip, pla_opmerking, "
                                           "pla_eigenaar FROM Planning WHERE pla_extern_ritnummer=? ORDER BY pla_id"),
                            {tripNumber});
    QList<StoredRide> out;
    while (q.next()) {
        StoredRide r;
        r.id = q.value(0).toInt();
        r.cancelled = q.value(1).toInt() == 1;
        const QDateTime time = DispatchDb::toDateTime(q.value(2));
        r.hour = time.isValid() ? time.time().hour() : -1;
        r.remark = q.value(3).toString();
        r.owner = q.value(4).toString();
        out << r;
    }
    q.finish();
    return out;
}

int count(ImportHarness &h, const QString &sql, const QVariantList &params = {})
{
    return h.scalar(sql, params).toInt();
}

// Rides of the import that have no code-91 row, among those of the trip numbers from `first` to `last`.
int ridesWithoutTheirRow(ImportHarness &h, int first, int last)
{
    return count(h,
                 QStringLiteral("SELECT COUNT(*) FROM Planning WHERE pla_temp LIKE 'P%' AND pla_extern_ritnummer "
                                "BETWEEN ? AND ? AND NOT EXISTS (SELECT 1 FROM TRANSACTIES WHERE tra_code=91 AND "
                                "tra_rit=pla_id)"),
                 {first, last});
}

// Makes the database refuse the rows of the table that the condition selects (a trigger on SQLite, a check on
// PostgreSQL); rows already stored stay.
void refuse(ImportHarness &h, const QString &name, const QString &table, const QString &sqliteWhen,
            const QString &check)
{
    if (h.db.dialect().embedded()) {
        h.db.exec(QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, "
                                 "'%1 geweigerd'); END")
                      .arg(name, table, sqliteWhen))
            .finish();
    } else {
        h.db.exec(QStringLiteral("ALTER TABLE %2 ADD CONSTRAINT %1 CHECK (%3) NOT VALID").arg(name, table, check))
            .finish();
    }
}

// Takes a refusal of refuse() away again.
void allow(ImportHarness &h, const QString &name, const QString &table)
{
    if (h.db.dialect().embedded())
        h.db.exec(QStringLiteral("DROP TRIGGER %1").arg(name)).finish();
    else
        h.db.exec(QStringLiteral("ALTER TABLE %2 DROP CONSTRAINT %1").arg(name, table)).finish();
}

struct Step {
    const char *action;
    QString elements;
    int confirmedRide; // the ride (1 = the first of the trip) its confirmation carries; 0 for "0"
};

struct Expected {
    bool cancelled;
    int hour;
    QString remark; // empty: not looked at
};

struct Sequence {
    const char *name;
    int trip;
    QList<Step> steps;
    QList<Expected> rides;
    QStringList log; // {T} the trip number, {R1}, {R2} the rides
};

} // namespace

void RunTripSequences(ImportHarness &h)
{
    const QString cancelMark = QStringLiteral("(VERWIJDERD 31-03 07:05)");
    const QString staatAl =
        QStringLiteral("Rit ID {T} staat al als rit %1 in de planning; er is geen nieuwe rit gemaakt.");
    const QString nietsGeannuleerd =
        QStringLiteral("Rit ID {T} heeft geen actieve rit in de planning; er is niets geannuleerd.");
    const QList<Sequence> sequences = {
        {"offered again after its cancellation, changed, cancelled",
         5002,
         {{"INSERT", at(11), 1}, {"DELETE", {}, 1}, {"INSERT", at(11), 2}, {"UPDATE", at(12), 2}, {"DELETE", {}, 2}},
         {{true, 11, cancelMark}, {true, 12, cancelMark}},
         {}},
        {"a change of the second ride leaves the first one cancelled",
         5003,
         {{"INSERT", at(11), 1},
          {"DELETE", {}, 1},
          {"INSERT", at(11), 2},
          {"UPDATE", comment(QStringLiteral("nieuw")), 2},
          {"INSERT", at(11), 2}},
         {{true, 11, cancelMark}, {false, 11, QStringLiteral("nieuw")}},
         {staatAl.arg(QStringLiteral("{R2}"))}},
        {"a cancellation without a ride, then a change adds one",
         5004,
         {{"DELETE", {}, 0}, {"UPDATE", at(12), 0}, {"DELETE", {}, 1}},
         {{true, 12, cancelMark}},
         {nietsGeannuleerd}},
        {"a remark that reads as a cancellation does not cancel",
         5005,
         {{"INSERT", at(11), 1},
          {"UPDATE", comment(QStringLiteral("(VERWIJDERD 01-01 00:00)")), 1},
          {"INSERT", at(11), 1},
          {"DELETE", {}, 1},
          {"DELETE", {}, 0}},
         {{true, 11, cancelMark}},
         {staatAl.arg(QStringLiteral("{R1}")), nietsGeannuleerd}},
    };

    for (const Path path : {Path::Cycle, Path::Manual}) {
        for (const Sequence &s : sequences) {
            const int tripNumber = s.trip + (path == Path::Manual ? 100 : 0);
            SCOPED_TRACE(std::string(pathName(path)) + ": " + s.name);
            h.log.clear();
            const qsizetype sent = h.confirmations().size();
            for (const Step &step : s.steps)
                offer(h, path, trip(QString::number(tripNumber), QLatin1String(step.action), step.elements));

            const QList<StoredRide> rides = ridesOf(h, tripNumber);
            ASSERT_EQ(rides.size(), s.rides.size()) << h.log.join(QLatin1Char('|')).toStdString();
            for (qsizetype i = 0; i < rides.size(); ++i) {
                SCOPED_TRACE(i + 1);
                EXPECT_EQ(rides[i].cancelled, s.rides[i].cancelled);
                EXPECT_EQ(rides[i].hour, s.rides[i].hour);
                if (!s.rides[i].remark.isEmpty()) {
                    EXPECT_EQ(rides[i].remark, s.rides[i].remark);
                }
                EXPECT_EQ(rides[i].owner, QStringLiteral("007"));
            }
            QList<QPair<QString, QString>> expected;
            for (const Step &step : s.steps) {
                // Manual processing confirms no new trip.
                if (path == Path::Manual && QLatin1String(step.action) == QLatin1String("INSERT"))
                    continue;
                expected.append({QString::number(tripNumber),
                                 QString::number(step.confirmedRide ? rides.value(step.confirmedRide - 1).id : 0)});
            }
            EXPECT_EQ(h.confirmations().mid(sent), expected);
            QStringList log;
            for (QString line : s.log) {
                line.replace(QStringLiteral("{T}"), QString::number(tripNumber));
                for (qsizetype i = 0; i < rides.size(); ++i)
                    line.replace(QStringLiteral("{R%1}").arg(i + 1), QString::number(rides[i].id));
                log << line;
            }
            EXPECT_EQ(h.log, log);
        }
    }
    // A ride that a change adds because the trip had none gets no row (5004); every other ride has its own.
    EXPECT_EQ(ridesWithoutTheirRow(h, 5002, 5003) + ridesWithoutTheirRow(h, 5005, 5103) +
                  ridesWithoutTheirRow(h, 5105, 5105),
              0);
}

void RunTwoOwners(ImportHarness &h)
{
    // Another client's ride (an owner code this program never used) carries the trip numbers 4711 and 4712 too.
    for (int number : {4711, 4712})
        h.db.exec(QStringLiteral("INSERT INTO Planning (pla_eigenaar, pla_extern, pla_extern_ritnummer, pla_temp) "
                                 "VALUES ('AND', ?, ?, ?)"),
                  {number, number, QStringLiteral("ander%1").arg(number)})
            .finish();
    const int foreign = count(h, QStringLiteral("SELECT pla_id FROM Planning WHERE pla_temp='ander4711'"));
    const qsizetype sent = h.confirmations().size();

    for (const Path path : {Path::Cycle, Path::Manual}) {
        SCOPED_TRACE(pathName(path));
        const int number = path == Path::Cycle ? 4711 : 4712;
        const QString id = QString::number(number);
        h.log.clear();
        h.controls.setText(Control::Eigenaar, QStringLiteral("042"));
        offer(h, path, trip(id, QStringLiteral("INSERT"), at(11)));
        offer(h, path, trip(id, QStringLiteral("UPDATE"), at(12)));
        QList<StoredRide> rides = ridesOf(h, number);
        ASSERT_EQ(rides.size(), 2) << h.log.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(rides[1].owner, QStringLiteral("042"));
        EXPECT_EQ(rides[1].hour, 12);
        EXPECT_EQ(rides[0].hour, -1) << "the other owner's ride is not changed";
        EXPECT_EQ(count(h, QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES WHERE tra_rit=? AND tra_code=91"),
                        {rides[1].id}),
                  1);
        offer(h, path, trip(id, QStringLiteral("DELETE")));
        rides = ridesOf(h, number);
        EXPECT_TRUE(rides[1].cancelled);
        EXPECT_FALSE(rides[0].cancelled);
        EXPECT_TRUE(rides[0].remark.isEmpty());
        EXPECT_TRUE(h.log.isEmpty()) << h.log.join(QLatin1Char('|')).toStdString();

        // The other client, with its own code, finds its own ride (it is another program: what it uses is not
        // remembered here).
        const QStringList ownCodes = h.controls.lines(Control::GebruikteEigenaren);
        h.controls.setText(Control::Eigenaar, QStringLiteral("AND"));
        h.controls.setLines(Control::GebruikteEigenaren, {});
        offer(h, path, trip(id, QStringLiteral("INSERT"), at(11)));
        h.controls.setLines(Control::GebruikteEigenaren, ownCodes);
        EXPECT_EQ(ridesOf(h, number).size(), 2);
        EXPECT_EQ(h.log, QStringList{QStringLiteral("Rit ID %1 staat al als rit %2 in de planning; er is geen nieuwe "
                                                    "rit gemaakt.")
                                         .arg(number)
                                         .arg(rides[0].id)});
    }
    const QList<QPair<QString, QString>> confirmations = h.confirmations().mid(sent);
    ASSERT_GE(confirmations.size(), 4);
    EXPECT_EQ(confirmations.first().second, QString::number(ridesOf(h, 4711)[1].id));
    EXPECT_EQ(confirmations[3].second, QString::number(foreign));
    h.controls.setText(Control::Eigenaar, QStringLiteral("007"));
}

void RunOwnerCodeChanged(ImportHarness &h)
{
    // A trip imported under one owner code, the code corrected, then the trip's next action: it reaches the ride
    // of the earlier code, never a second live ride. Among them a database whose rides carry no owner code.
    const QString newOwner = QStringLiteral("Z9");
    struct Case {
        const char *name;
        int trip;
        QString firstOwner;
        const char *then;
        bool cancelled; // the ride after the action
        int hour;
        QString info; // the line besides the one that names both codes; {R} the ride
    };
    const QList<Case> cases = {
        {"changed", 8201, QStringLiteral("007"), "UPDATE", false, 12, {}},
        {"cancelled", 8202, QStringLiteral("007"), "DELETE", true, 11, {}},
        {"offered again", 8203, QStringLiteral("007"), "INSERT", false, 11,
         QStringLiteral("Rit ID {T} staat al als rit {R} in de planning; er is geen nieuwe rit gemaakt.")},
        {"changed, rides without owner code", 8204, QString(), "UPDATE", false, 12, {}},
        {"cancelled, rides without owner code", 8205, QString(), "DELETE", true, 11, {}},
    };
    h.controls.setLines(Control::GebruikteEigenaren, {});
    for (const Path path : {Path::Cycle, Path::Manual}) {
        for (const Case &c : cases) {
            const int number = c.trip + (path == Path::Manual ? 100 : 0);
            const QString id = QString::number(number);
            SCOPED_TRACE(std::string(pathName(path)) + ": " + c.name);
            h.controls.setText(Control::Eigenaar, c.firstOwner);
            // The first import under the code, and a change under it, as the earlier code's rides were made.
            offer(h, path, trip(id, QStringLiteral("INSERT"), at(11)));
            offer(h, path, trip(id, QStringLiteral("UPDATE"), at(11)));
            h.controls.setText(Control::Eigenaar, newOwner);
            h.log.clear();
            const qsizetype sent = h.confirmations().size();
            offer(h, path, trip(id, QLatin1String(c.then), QLatin1String(c.then) == QLatin1String("DELETE")
                                                                ? QString()
                                                                : at(c.hour)));

            const QList<StoredRide> rides = ridesOf(h, number);
            ASSERT_EQ(rides.size(), 1) << h.log.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(rides[0].owner, c.firstOwner);
            EXPECT_EQ(rides[0].cancelled, c.cancelled);
            EXPECT_EQ(rides[0].hour, c.hour);
            QStringList expected{QStringLiteral("Rit ID %1 is rit %2 van eerdere eigenaar \"%3\" (eigenaar is nu "
                                                "\"Z9\").")
                                     .arg(id)
                                     .arg(rides[0].id)
                                     .arg(c.firstOwner)};
            if (!c.info.isEmpty())
                expected << QString(c.info)
                                .replace(QStringLiteral("{T}"), id)
                                .replace(QStringLiteral("{R}"), QString::number(rides[0].id));
            EXPECT_EQ(h.log, expected);
            if (path == Path::Cycle || QLatin1String(c.then) != QLatin1String("INSERT")) {
                const QList<QPair<QString, QString>> confirmed{{id, QString::number(rides[0].id)}};
                EXPECT_EQ(h.confirmations().mid(sent), confirmed);
            }
        }
    }
    // A trip new under the corrected code gets it.
    offer(h, Path::Cycle, trip(QStringLiteral("8209"), QStringLiteral("INSERT"), at(11)));
    ASSERT_EQ(ridesOf(h, 8209).size(), 1);
    EXPECT_EQ(ridesOf(h, 8209)[0].owner, newOwner);
    EXPECT_EQ(h.controls.lines(Control::GebruikteEigenaren),
              (QStringList{newOwner, QString(), QStringLiteral("007")}));
    h.controls.setText(Control::Eigenaar, QStringLiteral("007"));
}

void RunBadTripsInTheMiddle(ImportHarness &h)
{
    refuse(h, QStringLiteral("weiger_rit"), QStringLiteral("Planning"),
           QStringLiteral("NEW.pla_extern_ritnummer IN (6006, 6106)"),
           QStringLiteral("pla_extern_ritnummer NOT IN (6006, 6106)"));
    const QString longId(300, QLatin1Char('1'));
    const QDir copyFolder(h.dir.folders().backupsInDir + QStringLiteral("/2015-03-31"));
    const QStringList copiesBefore = copyFolder.entryList(QDir::Files);

    for (const Path path : {Path::Cycle, Path::Manual}) {
        SCOPED_TRACE(pathName(path));
        const int base = path == Path::Cycle ? 6000 : 6100;
        auto id = [&](int n) { return QString::number(base + n); };
        h.log.clear();
        const qsizetype sent = h.confirmations().size();
        offer(h, path,
              trip(id(1), QStringLiteral("INSERT"), at(11)) + trip(longId, QStringLiteral("INSERT"), at(11)) +
                  trip(QStringLiteral("12abc"), QStringLiteral("INSERT"), at(11)) +
                  trip(QString(), QStringLiteral("DELETE")) +
                  trip(id(4), QStringLiteral("INSERT"), QStringLiteral("<fromdatetime>201302301200</fromdatetime>")) +
                  trip(id(5), QStringLiteral("UPDATE"), QStringLiteral("<passengers>drie</passengers>")) +
                  trip(id(6), QStringLiteral("INSERT"), at(11)) + trip(id(7), QStringLiteral("INSERT"), at(11)) +
                  trip(id(8), QStringLiteral("DELETE")));

        const int ride1 = count(h, QStringLiteral("SELECT pla_id FROM Planning WHERE pla_extern_ritnummer=?"), {base + 1});
        const int ride7 = count(h, QStringLiteral("SELECT pla_id FROM Planning WHERE pla_extern_ritnummer=?"), {base + 7});
        EXPECT_GT(ride1, 0);
        EXPECT_GT(ride7, 0) << "the trips after the bad ones are stored";
        EXPECT_EQ(count(h, QStringLiteral("SELECT COUNT(*) FROM Planning WHERE pla_extern_ritnummer BETWEEN ? AND ?"),
                        {base + 2, base + 6}),
                  0);
        EXPECT_EQ(count(h, QStringLiteral("SELECT COUNT(*) FROM Planning WHERE pla_extern_ritnummer=0")), 0);
        QList<QPair<QString, QString>> expected;
        if (path == Path::Cycle)
            expected = {{id(1), QString::number(ride1)}, {id(7), QString::number(ride7)}};
        expected.append({id(8), QStringLiteral("0")});
        EXPECT_EQ(h.confirmations().mid(sent), expected) << "a bad trip is left unconfirmed";

        ASSERT_EQ(h.log.size(), 7) << h.log.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(h.log[0], QStringLiteral("Rit ID %1... is geen geldig ritnummer; de rit is niet verwerkt.")
                                .arg(longId.left(40)));
        EXPECT_EQ(h.log[1], QStringLiteral("Rit ID 12abc is geen geldig ritnummer; de rit is niet verwerkt."));
        EXPECT_EQ(h.log[2], QStringLiteral("Rit ID  is geen geldig ritnummer; de rit is niet verwerkt."));
        EXPECT_EQ(h.log[3], QStringLiteral("Rit ID %1 is niet verwerkt: Invalid argument to date encode").arg(id(4)));
        EXPECT_EQ(h.log[4],
                  QStringLiteral("Rit ID %1 is niet verwerkt: 'drie' is not a valid integer value for field "
                                 "'pla_lopers'")
                      .arg(id(5)));
        EXPECT_TRUE(h.log[5].startsWith(QStringLiteral("Rit ID %1 is niet verwerkt: ").arg(id(6))) &&
                    h.log[5].contains(QStringLiteral("weiger_rit")))
            << h.log[5].toStdString();
        EXPECT_EQ(h.log[6], QStringLiteral("Rit ID %1 heeft geen actieve rit in de planning; er is niets "
                                           "geannuleerd.")
                                .arg(id(8)));
    }

    // Every copy of the retrieval cycle was written, the long id's too, with a name the file system takes.
    QStringList copies = copyFolder.entryList(QDir::Files);
    for (const QString &name : copiesBefore)
        copies.removeAll(name);
    EXPECT_EQ(copies.size(), 9) << copies.join(QLatin1Char(' ')).toStdString();
    for (const QString &name : copies)
        EXPECT_LE(name.toUtf8().size(), 200) << name.toStdString();
    EXPECT_EQ(ridesWithoutTheirRow(h, 6000, 6199), 0);
}

void RunFailedThenLaterActions(ImportHarness &h)
{
    // The new trips 3001 and 3101 fail for a moment, 3002 and 3102 for good; each trip's later actions in the same
    // reply wait for the next offer, so none runs ahead of the action that failed.
    refuse(h, QStringLiteral("weiger_altijd"), QStringLiteral("Planning"),
           QStringLiteral("NEW.pla_extern_ritnummer IN (3002, 3102)"),
           QStringLiteral("pla_extern_ritnummer NOT IN (3002, 3102)"));
    for (const Path path : {Path::Cycle, Path::Manual}) {
        SCOPED_TRACE(pathName(path));
        const int base = path == Path::Cycle ? 3000 : 3100;
        auto id = [&](int n) { return QString::number(base + n); };
        refuse(h, QStringLiteral("weiger_even"), QStringLiteral("Planning"),
               QStringLiteral("NEW.pla_extern_ritnummer = %1").arg(id(1)),
               QStringLiteral("pla_extern_ritnummer <> %1").arg(id(1)));
        const QString trips = trip(id(1), QStringLiteral("INSERT"), at(11)) +
                              trip(id(2), QStringLiteral("INSERT"), at(11)) +
                              trip(id(3), QStringLiteral("INSERT"), at(11)) +
                              trip(id(1), QStringLiteral("DELETE")) + trip(id(2), QStringLiteral("UPDATE"), at(12));
        h.log.clear();
        qsizetype sent = h.confirmations().size();
        offer(h, path, trips);
        EXPECT_TRUE(ridesOf(h, base + 1).isEmpty());
        EXPECT_TRUE(ridesOf(h, base + 2).isEmpty()) << "a change does not make the ride its failed new trip should";
        ASSERT_EQ(ridesOf(h, base + 3).size(), 1);
        QList<QPair<QString, QString>> expected;
        if (path == Path::Cycle)
            expected = {{id(3), QString::number(ridesOf(h, base + 3)[0].id)}};
        EXPECT_EQ(h.confirmations().mid(sent), expected) << "nothing of a failed trip is confirmed";
        ASSERT_EQ(h.log.size(), 4) << h.log.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(h.log[2], QStringLiteral("Rit ID %1: een eerdere actie van deze rit is niet verwerkt; de actie "
                                           "DELETE wacht tot de dienst de rit opnieuw aanbiedt.")
                                .arg(id(1)));
        EXPECT_EQ(h.log[3], QStringLiteral("Rit ID %1: een eerdere actie van deze rit is niet verwerkt; de actie "
                                           "UPDATE wacht tot de dienst de rit opnieuw aanbiedt.")
                                .arg(id(2)));

        // Offered again once the moment passed: the new trip, then its cancellation, in their order.
        allow(h, QStringLiteral("weiger_even"), QStringLiteral("Planning"));
        sent = h.confirmations().size();
        offer(h, path, trips);
        const QList<StoredRide> rides = ridesOf(h, base + 1);
        ASSERT_EQ(rides.size(), 1);
        EXPECT_TRUE(rides[0].cancelled);
        EXPECT_TRUE(ridesOf(h, base + 2).isEmpty());
        EXPECT_EQ(ridesOf(h, base + 3).size(), 1);
        expected = {{id(1), QString::number(rides[0].id)}, {id(3), QString::number(ridesOf(h, base + 3)[0].id)},
                    {id(1), QString::number(rides[0].id)}};
        if (path == Path::Manual)
            expected = {{id(1), QString::number(rides[0].id)}};
        EXPECT_EQ(h.confirmations().mid(sent), expected);
    }
    allow(h, QStringLiteral("weiger_altijd"), QStringLiteral("Planning"));
}

void RunRefusedTripOfferedEveryMinute(ImportHarness &h)
{
    // A trip the database refuses comes back unconfirmed at every retrieval: one line and one copy a day.
    refuse(h, QStringLiteral("weiger_elke_minuut"), QStringLiteral("Planning"),
           QStringLiteral("NEW.pla_extern_ritnummer = 3501"), QStringLiteral("pla_extern_ritnummer <> 3501"));
    const QDateTime start = h.clock.now();
    const QDir copyFolder(h.dir.folders().backupsInDir + QLatin1Char('/') +
                          start.date().toString(QStringLiteral("yyyy-MM-dd")));
    const QStringList nameFilter{QStringLiteral("RetrieveTrips_INS_3501_*")};
    h.log.clear();
    for (int minute = 0; minute < 60; ++minute) {
        offer(h, Path::Cycle, trip(QStringLiteral("3501"), QStringLiteral("INSERT"), at(11)));
        h.clock.advanceSecs(60);
    }
    EXPECT_EQ(h.log.size(), 1) << h.log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(copyFolder.entryList(nameFilter, QDir::Files).size(), 1);

    // Another text of the trip is another document (one more copy); the same reason is still said once that day.
    offer(h, Path::Cycle, trip(QStringLiteral("3501"), QStringLiteral("INSERT"), at(12)));
    EXPECT_EQ(h.log.size(), 1);
    EXPECT_EQ(copyFolder.entryList(nameFilter, QDir::Files).size(), 2);

    // The next day it is said again.
    h.clock.set(start.addDays(1));
    offer(h, Path::Cycle, trip(QStringLiteral("3501"), QStringLiteral("INSERT"), at(12)));
    EXPECT_EQ(h.log.size(), 2);
    EXPECT_TRUE(ridesOf(h, 3501).isEmpty());
    allow(h, QStringLiteral("weiger_elke_minuut"), QStringLiteral("Planning"));
    // The clock goes on from here: back, the temporary keys of new rides could meet the ones it gave before.
    h.clock.advanceSecs(60);
}

void RunLineBreaksAndRefusedTransactions(ImportHarness &h)
{
    // Line breaks: the client's comment and the trip's comment, as the service and a saved file carry them.
    const QString twoLines = QStringLiteral("regel een\r\nregel twee");
    h.log.clear();
    for (const Path path : {Path::Cycle, Path::Manual}) {
        SCOPED_TRACE(pathName(path));
        const int number = path == Path::Cycle ? 7001 : 7101;
        const QString client = QStringLiteral("<lastname>Jansen</lastname><comment>%1</comment>").arg(twoLines);
        offer(h, path, trip(QString::number(number), QStringLiteral("INSERT"), at(11) + comment(twoLines), client));
        offer(h, path, trip(QString::number(number), QStringLiteral("UPDATE"), comment(twoLines), client));
        const QList<StoredRide> rides = ridesOf(h, number);
        ASSERT_EQ(rides.size(), 1) << h.log.join(QLatin1Char('|')).toStdString();
        const QString text = h.ride(rides[0].id).value(QStringLiteral("pla_tekst")).toString();
        EXPECT_TRUE(text.contains(QStringLiteral("Opmerking: regel een\r\nregel twee\r\n"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Commentaar: regel een\r\nregel twee\r\n"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n")))) << text.toStdString();
        EXPECT_EQ(rides[0].remark, twoLines);
    }
    EXPECT_TRUE(h.log.isEmpty()) << h.log.join(QLatin1Char('|')).toStdString();

    // A TRANSACTIES table that refuses every row: the rides are stored, changed and cancelled all the same, with
    // their internal action, and each refusal is one log line.
    h.controls.setText(Control::xBedrijf, QStringLiteral("4"));
    h.db.exec(QStringLiteral("INSERT INTO constanten (con_bdr_id, con_aanvraag_verzenden) VALUES (4, 6)")).finish();
    refuse(h, QStringLiteral("weiger_transactie"), QStringLiteral("TRANSACTIES"), QStringLiteral("1"),
           QStringLiteral("tra_code < 0"));
    const int rowsBefore = count(h, QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES"));
    for (const Path path : {Path::Cycle, Path::Manual}) {
        SCOPED_TRACE(pathName(path));
        const QString id = QString::number(path == Path::Cycle ? 7002 : 7102);
        h.log.clear();
        const qsizetype sent = h.confirmations().size();
        offer(h, path, trip(id, QStringLiteral("INSERT"), at(11)));
        offer(h, path, trip(id, QStringLiteral("UPDATE"), at(12)));
        offer(h, path, trip(id, QStringLiteral("DELETE")));
        const QList<StoredRide> rides = ridesOf(h, id.toInt());
        ASSERT_EQ(rides.size(), 1);
        EXPECT_EQ(rides[0].hour, 12);
        EXPECT_TRUE(rides[0].cancelled);
        EXPECT_EQ(count(h, QStringLiteral("SELECT COUNT(*) FROM InterneActies WHERE iac_rit=?"), {rides[0].id}), 1);
        ASSERT_EQ(h.log.size(), 3) << h.log.join(QLatin1Char('|')).toStdString();
        for (const QString &line : h.log)
            EXPECT_TRUE(line.contains(QStringLiteral("weiger_transactie"))) << line.toStdString();
        EXPECT_EQ(h.confirmations().size() - sent, path == Path::Cycle ? 3 : 2);
    }
    EXPECT_EQ(count(h, QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES")), rowsBefore);
    allow(h, QStringLiteral("weiger_transactie"), QStringLiteral("TRANSACTIES"));
}

void RunWithoutTheCancelledColumn(ImportHarness &h)
{
    h.log.clear();
    if (h.db.dialect().embedded()) {
        // An embedded database made before the column gets it when it is opened.
        const QString path = h.db.sqlitePath();
        h.db.close();
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("zonder-kolom"));
            raw.setDatabaseName(path);
            ASSERT_TRUE(raw.open());
            QSqlQuery q(raw);
            ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE Planning DROP COLUMN pla_extern_verwijderd")));
            q.finish();
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("zonder-kolom"));
        EXPECT_NO_THROW(h.db.exec(QStringLiteral("SELECT pla_extern_verwijderd FROM Planning WHERE 1=0")).finish());
        return;
    }
    // A dispatch database without the column: the import goes on, and tells its cancelled rides by their remark.
    h.db.exec(QStringLiteral("ALTER TABLE Planning DROP COLUMN pla_extern_verwijderd")).finish();
    for (const char *action : {"INSERT", "DELETE", "INSERT", "UPDATE", "INSERT"})
        offer(h, Path::Cycle, trip(QStringLiteral("8001"), QLatin1String(action), at(11)));
    const QList<int> rides = [&] {
        QList<int> ids;
        QSqlQuery q = h.db.exec(QStringLiteral("SELECT pla_id FROM Planning WHERE pla_extern_ritnummer=8001 ORDER BY "
                                               "pla_id"));
        while (q.next())
            ids << q.value(0).toInt();
        return ids;
    }();
    ASSERT_EQ(rides.size(), 2) << h.log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(h.ride(rides[0]).value(QStringLiteral("pla_opmerking")).toString(),
              QStringLiteral("(VERWIJDERD %1)").arg(h.clock.now().toString(QStringLiteral("dd-MM hh:mm"))));
    EXPECT_EQ(h.ride(rides[1]).value(QStringLiteral("pla_cloud")).toInt(), 2);
    EXPECT_EQ(h.log, QStringList{QStringLiteral("Rit ID 8001 staat al als rit %1 in de planning; er is geen nieuwe "
                                                "rit gemaakt.")
                                     .arg(rides[1])});
}

void RunHeldRide(ImportHarness &h)
{
    offer(h, Path::Cycle, trip(QStringLiteral("9001"), QStringLiteral("INSERT"), at(11)));
    const QList<StoredRide> stored = ridesOf(h, 9001);
    ASSERT_EQ(stored.size(), 1);
    const int ride = stored.first().id;

    // The dispatch holds the ride (a second connection in a transaction).
    DispatchDb dispatch(h.controls, h.dir.path(), QStringLiteral("dispatch"));
    QSqlDatabase held = dispatch.connection();
    ASSERT_TRUE(held.transaction());
    {
        QSqlQuery lock(held);
        ASSERT_TRUE(lock.exec(QStringLiteral("SELECT pla_id FROM planning WHERE pla_id = %1 FOR UPDATE").arg(ride)));
    }
    h.log.clear();
    const qsizetype confirmed = h.confirmations().size();
    for (const char *action : {"UPDATE", "DELETE"})
        offer(h, Path::Cycle, trip(QStringLiteral("9001"), QLatin1String(action), at(12)));
    // Each is named with its ride at once, instead of waiting out the statement time-out, and comes again.
    const QString line = QStringLiteral("Rit ID 9001 is niet verwerkt: Rit %1 wordt vastgehouden door een ander "
                                        "programma; er is niets gewijzigd.")
                             .arg(ride);
    EXPECT_EQ(h.log, QStringList({line, line}));
    EXPECT_EQ(h.confirmations().size(), confirmed);
    ASSERT_TRUE(held.rollback());
    held = QSqlDatabase();
    dispatch.close();

    const QList<StoredRide> kept = ridesOf(h, 9001);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept.first().hour, 11);
    EXPECT_FALSE(kept.first().cancelled);

    h.log.clear();
    offer(h, Path::Cycle, trip(QStringLiteral("9001"), QStringLiteral("UPDATE"), at(12)));
    EXPECT_TRUE(h.log.isEmpty()) << h.log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(ridesOf(h, 9001).first().hour, 12);
}
