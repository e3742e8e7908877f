#include "RepeatedTrips.h"

#include "ImportHarness.h"
#include "TripFixtures.h"

#include <QFile>

#include <gtest/gtest.h>

namespace
{

using TripFixtures::reply;
using TripFixtures::trip;

QString newTrip(const QString &id)
{
    return trip(id, QStringLiteral("INSERT"), QLatin1String(TripFixtures::kDates));
}

int count(ImportHarness &h, const char *sql)
{
    return h.scalar(QLatin1String(sql)).toInt();
}

QString seenLine(int trip, int ride)
{
    return QStringLiteral("Rit ID %1 staat al als rit %2 in de planning; er is geen nieuwe rit gemaakt.")
        .arg(trip)
        .arg(ride);
}

int rideOf(ImportHarness &h, int trip)
{
    return h.scalar(QStringLiteral("SELECT MAX(pla_id) FROM Planning WHERE pla_extern_ritnummer=?"), {trip}).toInt();
}

} // namespace

void RunRepeatedTrips(ImportHarness &h)
{
    h.controls.setText(Control::xBedrijf, QStringLiteral("4"));
    h.db.exec(QStringLiteral("INSERT INTO constanten (con_bdr_id, con_aanvraag_verzenden) VALUES (4, 6)")).finish();

    // Trip 7 twice in one reply, then 7 and 8 again in the next (their confirmations were lost).
    h.service.reply(reply(newTrip(QStringLiteral("7")) + newTrip(QStringLiteral("8")) + newTrip(QStringLiteral("7"))));
    h.cycle();
    h.service.reply(reply(newTrip(QStringLiteral("8")) + newTrip(QStringLiteral("0007"))));
    h.cycle();
    EXPECT_FALSE(h.db.isOpen()) << "the connection is closed after a trip found stored, as after a new ride";

    ASSERT_EQ(h.rideIds().size(), 2) << h.log.join(QLatin1Char('|')).toStdString();
    const int ride7 = rideOf(h, 7);
    const int ride8 = rideOf(h, 8);
    ASSERT_NE(ride7, ride8);
    const QString r7 = QString::number(ride7);
    const QString r8 = QString::number(ride8);
    EXPECT_EQ(h.confirmations(), (QList<QPair<QString, QString>>{{QStringLiteral("7"), r7},
                                                                 {QStringLiteral("8"), r8},
                                                                 {QStringLiteral("7"), r7},
                                                                 {QStringLiteral("8"), r8},
                                                                 {QStringLiteral("0007"), r7}}));
    EXPECT_EQ(h.log, (QStringList{seenLine(7, ride7), seenLine(8, ride8), seenLine(7, ride7)}));
    EXPECT_EQ(count(h, "SELECT COUNT(*) FROM TRANSACTIES"), 2);
    EXPECT_EQ(count(h, "SELECT COUNT(*) FROM InterneActies"), 2);
    EXPECT_EQ(h.controls.text(Control::Verwerkt), QStringLiteral("2"));
    EXPECT_EQ(h.controls.text(Control::LaatsteRit), r7);

    // A trip offered again after its cancellation gets a new ride, and that one is found from then on.
    h.log.clear();
    h.service.reply(reply(trip(QStringLiteral("8"), QStringLiteral("DELETE"))));
    h.cycle();
    h.service.reply(reply(newTrip(QStringLiteral("8")) + newTrip(QStringLiteral("8"))));
    h.cycle();
    const int ride8again = rideOf(h, 8);
    EXPECT_GT(ride8again, ride8);
    EXPECT_EQ(h.rideIds().size(), 3);
    EXPECT_EQ(h.confirmations().mid(5),
              (QList<QPair<QString, QString>>{{QStringLiteral("8"), r8},
                                              {QStringLiteral("8"), QString::number(ride8again)},
                                              {QStringLiteral("8"), QString::number(ride8again)}}));
    EXPECT_EQ(h.log, QStringList{seenLine(8, ride8again)});

    // A ride of our owner that another program wrote, without any remark or mark, counts as the trip's ride.
    h.db.exec(QStringLiteral("INSERT INTO Planning (pla_eigenaar, pla_extern, pla_extern_ritnummer, pla_temp) VALUES "
                             "('007', 9, 9, 'x')"))
        .finish();
    const int foreign = rideOf(h, 9);

    // A saved reply processed twice: its new trips are stored once, none of them confirmed.
    h.log.clear();
    const qsizetype sent = h.confirmations().size();
    const QString path = h.dir.path() + QStringLiteral("/saved.xml");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reply(newTrip(QStringLiteral("9")) + newTrip(QStringLiteral("10")) + newTrip(QStringLiteral("10")))
                    .toUtf8());
    }
    h.manual(path);
    h.manual(path);
    EXPECT_EQ(h.rideIds().size(), 5);
    EXPECT_EQ(rideOf(h, 9), foreign);
    const int ride10 = rideOf(h, 10);
    EXPECT_EQ(h.log, (QStringList{seenLine(9, foreign), seenLine(10, ride10), seenLine(9, foreign),
                                  seenLine(10, ride10), seenLine(10, ride10)}));
    EXPECT_EQ(h.confirmations().size(), sent);
    EXPECT_EQ(count(h, "SELECT COUNT(*) FROM TRANSACTIES WHERE tra_code=91"), 4);
}
