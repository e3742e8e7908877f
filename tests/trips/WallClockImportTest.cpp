// Pick-up and arrival times are stored as the service wrote them, whatever the zone of the machine: these tests
// run once under Europe/Amsterdam and once under UTC. Dates are read back as the text the database holds, so
// nothing in the checks goes through the local zone either.
#include "ImportHarness.h"
#include "TripFixtures.h"

#include "support/PgServer.h"

#include <QFile>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

using namespace TripFixtures;

struct DateCase {
    const char *name;
    const char *from;        // fromdatetime as the service writes it
    const char *destination; // destinationdatetime
    const char *storedFrom;  // what pla_datum and pla_tijdstip hold
    const char *storedDestination;
};

// The spring change skips 02:00-03:00 in Amsterdam, the autumn change repeats 02:00-03:00.
const DateCase kDateCases[] = {
    {"skipped hour", "202603290230", "202603290259", "2026-03-29 02:30:00", "2026-03-29 02:59:00"},
    {"repeated hour", "202610250230", "202610250245", "2026-10-25 02:30:00", "2026-10-25 02:45:00"},
    {"midnight", "202603290000", "202610250000", "2026-03-29 00:00:00", "2026-10-25 00:00:00"},
    {"year end", "202612312359", "202701010030", "2026-12-31 23:59:00", "2027-01-01 00:30:00"},
    {"zero date", "189912300000", "18991230", "1899-12-30 00:00:00", "1899-12-30 00:00:00"},
};

QString dates(const DateCase &c)
{
    return QStringLiteral("<fromdatetime>%1</fromdatetime><destinationdatetime>%2</destinationdatetime>")
        .arg(QLatin1String(c.from), QLatin1String(c.destination));
}

QString tripId(int index)
{
    return QString::number(7000 + index);
}

// The three date columns of the ride of a trip, as text.
QStringList storedDates(ImportHarness &h, const QString &id)
{
    QStringList out;
    for (const char *column : {"pla_datum", "pla_tijdstip", "pla_tijdstip_locatie"}) {
        const QVariant v = h.scalar(
            QStringLiteral("SELECT %1 FROM Planning WHERE pla_extern=?").arg(QLatin1String(column)), {id.toInt()});
        out << (v.isNull() ? QStringLiteral("NULL") : v.toString());
    }
    return out;
}

QStringList expected(const DateCase &c)
{
    return {QLatin1String(c.storedFrom), QLatin1String(c.storedFrom), QLatin1String(c.storedDestination)};
}

TEST(WallClockImport, NewTripsKeepTheirWallTimes)
{
    ImportHarness h;
    QString trips;
    for (int i = 0; i < int(std::size(kDateCases)); ++i)
        trips += trip(tripId(i), QStringLiteral("INSERT"), dates(kDateCases[i]));
    h.service.reply(reply(trips));
    h.cycle();

    EXPECT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    EXPECT_EQ(h.confirmations().size(), qsizetype(std::size(kDateCases)));
    for (int i = 0; i < int(std::size(kDateCases)); ++i)
        EXPECT_EQ(storedDates(h, tripId(i)), expected(kDateCases[i])) << kDateCases[i].name;
}

TEST(WallClockImport, ChangesAndManualProcessingKeepTheirWallTimes)
{
    ImportHarness h;
    QString inserts;
    QString updates;
    for (int i = 0; i < int(std::size(kDateCases)); ++i) {
        inserts += trip(tripId(i), QStringLiteral("INSERT"), QLatin1String(kDates));
        updates += trip(tripId(i), QStringLiteral("UPDATE"), dates(kDateCases[i]));
    }
    h.service.reply(reply(inserts));
    h.cycle();
    h.service.reply(reply(updates));
    h.cycle();
    EXPECT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    for (int i = 0; i < int(std::size(kDateCases)); ++i)
        EXPECT_EQ(storedDates(h, tripId(i)), expected(kDateCases[i])) << "change, " << kDateCases[i].name;

    // The same trips from a saved reply, as new rides.
    QString manual;
    for (int i = 0; i < int(std::size(kDateCases)); ++i)
        manual += trip(QString::number(8000 + i), QStringLiteral("INSERT"), dates(kDateCases[i]));
    const QString path = h.dir.path() + QStringLiteral("/saved.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reply(manual).toUtf8());
    file.close();
    h.manual(path);
    EXPECT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    for (int i = 0; i < int(std::size(kDateCases)); ++i)
        EXPECT_EQ(storedDates(h, QString::number(8000 + i)), expected(kDateCases[i]))
            << "manual, " << kDateCases[i].name;
}

TEST(WallClockImport, NowIsTheLocalWallTime)
{
    // The repeated hour exists twice in Amsterdam; "now" is stored and stamped with the time the clock shows.
    ImportHarness h;
    h.clock.set(QDateTime(QDate(2026, 10, 25), QTime(2, 30, 5)));
    h.service.reply(reply(trip(QStringLiteral("7100"), QStringLiteral("INSERT"), QLatin1String(kDates))));
    h.cycle();
    h.service.reply(reply(trip(QStringLiteral("7100"), QStringLiteral("DELETE"))));
    h.cycle();
    EXPECT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    EXPECT_EQ(h.scalar(QStringLiteral("SELECT pla_txtext_vanaf FROM Planning")).toString(),
              QStringLiteral("2026-10-25 02:30:05"));
    EXPECT_EQ(h.scalar(QStringLiteral("SELECT pla_opmerking FROM Planning")).toString(),
              QStringLiteral("(VERWIJDERD 25-10 02:30)"));
    EXPECT_TRUE(h.scalar(QStringLiteral("SELECT pla_temp FROM Planning")).toString().startsWith(u"P20261025023005105"))
        << "temporary key from the local wall time";
}

TEST(WallClockImport, PostgreSqlOverOdbcKeepsTheWallTimes)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    ImportHarness h;
    pg.applyTo(h.controls);

    QString inserts;
    QString updates;
    for (int i = 0; i < int(std::size(kDateCases)); ++i) {
        inserts += trip(tripId(i), QStringLiteral("INSERT"), dates(kDateCases[i]));
        updates += trip(QString::number(7500 + i), QStringLiteral("INSERT"), QLatin1String(kDates));
        updates += trip(QString::number(7500 + i), QStringLiteral("UPDATE"), dates(kDateCases[i]));
    }
    h.service.reply(reply(inserts + updates));
    h.cycle();
    EXPECT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));

    for (int i = 0; i < int(std::size(kDateCases)); ++i) {
        for (const QString &id : {tripId(i), QString::number(7500 + i)}) {
            bool ok = false;
            const QString stored =
                pg.psql(QStringLiteral("select coalesce(to_char(pla_datum, 'YYYY-MM-DD HH24:MI:SS'), 'NULL') || '|' || "
                                       "coalesce(to_char(pla_tijdstip, 'YYYY-MM-DD HH24:MI:SS'), 'NULL') || '|' || "
                                       "coalesce(to_char(pla_tijdstip_locatie, 'YYYY-MM-DD HH24:MI:SS'), 'NULL') "
                                       "from planning where pla_extern=%1")
                            .arg(id),
                        &ok);
            ASSERT_TRUE(ok) << stored.toStdString();
            EXPECT_EQ(stored.trimmed(), expected(kDateCases[i]).join(u'|'))
                << id.toStdString() << ", " << kDateCases[i].name;
        }
    }
}

} // namespace
