#include "ImportHarness.h"
#include "TripFixtures.h"
#include "base/WallDateTime.h"

#include <gtest/gtest.h>

namespace {

using TripFixtures::reply;
using TripFixtures::trip;

const QString kNewTrip = QStringLiteral(
    "<fromdatetime>201305141530</fromdatetime><destinationdatetime>201305141615</destinationdatetime>"
    "<fromzip>1111AA</fromzip><destinationzip>2222BB</destinationzip><distance>12340</distance>"
    "<productid>P1</productid><fromcity>Delft</fromcity><fromstreet>Oude Delft</fromstreet><passengers>2</passengers>"
    "<tripexternalcomment>eerst</tripexternalcomment><numberofzones>2</numberofzones>");

class TripChanges : public ::testing::Test, public ImportHarness {
protected:
    // Stores a new ride for the trip number through a cycle and returns its pla_id.
    int newRide(const QString &id, const QString &client = QStringLiteral("<lastname>Jansen</lastname>"
                                                                          "<firstname>Piet</firstname>"))
    {
        service.reply(reply(trip(id, QStringLiteral("INSERT"), kNewTrip, client)));
        cycle();
        return controls.text(Control::LaatsteRit).toInt();
    }
    void run(const QString &trips)
    {
        service.reply(reply(trips));
        cycle();
    }
    int transactions(int code)
    {
        return scalar(QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES WHERE tra_code=?"), {code}).toInt();
    }
};

TEST_F(TripChanges, ChangeOfAnExistingRideWritesOnlyItsColumns)
{
    const int id = newRide(QStringLiteral("40"));
    const QVariantMap before = ride(id);
    run(trip(QStringLiteral("0040"), QStringLiteral("update"),
             QStringLiteral("<fromdatetime>201306011200</fromdatetime><fromcity>Leiden</fromcity>"
                            "<fromzip>9999ZZ</fromzip><distance>99000</distance><productid>P9</productid>"
                            "<passengers>3</passengers><wheelchair>1</wheelchair><eb>500</eb>"
                            "<tripexternalcomment>Voorin zitten, graag</tripexternalcomment><fromname>Huis</fromname>"
                            "<numberofzones>4</numberofzones>"),
             QStringLiteral("<lastname>Anders</lastname><phone>06-1</phone><combination>1</combination>")));
    ASSERT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(rideIds().size(), 1);
    const QVariantMap after = ride(id);

    const std::pair<const char *, QVariant> changed[] = {
        {"pla_cloud", 2},
        {"pla_ophstad", QStringLiteral("Leiden")},
        {"pla_lopers", 3},
        {"pla_rollers", 1},
        {"pla_rolstoel", 1},
        {"pla_bedrag", 5.0},
        {"pla_bedrag_3", 5.0},
        {"pla_opmerking", QStringLiteral("Voorin zitten  graag")},
        {"pla_telefoon", QStringLiteral("06-1")},
        {"pla_oph_syn", QStringLiteral("Huis")},
        {"pla_bes_syn", QString()},
        {"pla_combineren", 1},
        {"pla_zone_aantal", 4},
        {"pla_voorin", 1},
        {"pla_bloktijd", 1},
    };
    for (const auto &[column, value] : changed)
        EXPECT_EQ(after.value(QLatin1String(column)).toString(), value.toString()) << column;
    EXPECT_EQ(DispatchDb::toDateTime(after.value(QStringLiteral("pla_datum"))),
              WallDateTime(QDate(2013, 6, 1), QTime(12, 0)));
    EXPECT_TRUE(after.value(QStringLiteral("pla_tekst")).toString().startsWith(QStringLiteral("Naam: Anders \r\n")));
    // Kept: postcodes, distance, product, client name, zones_extern, the untouched street and the arrival time.
    for (const char *column :
         {"pla_ophpostcode", "pla_bestpostcode", "pla_km_sqr", "pla_km_map", "pla_referentie", "pla_naam_reiziger",
          "pla_zones_extern", "pla_ophstraat", "pla_tijdstip_locatie", "pla_status", "pla_temp", "pla_bedrag_5"})
        EXPECT_EQ(after.value(QLatin1String(column)), before.value(QLatin1String(column))) << column;
    EXPECT_EQ(transactions(92), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT tra_opmerking FROM TRANSACTIES WHERE tra_code=92")).toString(),
              QStringLiteral("40"));
    EXPECT_EQ(controls.text(Control::Verwerkt), QStringLiteral("2"));
    EXPECT_EQ(confirmations().last(), qMakePair(QStringLiteral("0040"), QString::number(id)));
    EXPECT_TRUE(dir.copies(QStringLiteral("Ostrel/Backups/In"))
                    .contains(QStringLiteral("2015-03-31/RetrieveTrips_UPD_0040_3103070509.xml")));
}

TEST_F(TripChanges, ChangeWithoutARideAddsOneConfirmedWithZero)
{
    controls.setText(Control::Eigenaar, QStringLiteral("XYZ"));
    run(trip(QStringLiteral("41"), QStringLiteral("UPDATE"),
             QStringLiteral("<fromcity>Leiden</fromcity><fromzip>1234AB</fromzip><eb>700</eb>")));
    ASSERT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 1);
    const QVariantMap r = ride(ids[0]);
    EXPECT_EQ(r.value(QStringLiteral("pla_extern_ritnummer")).toInt(), 41);
    EXPECT_EQ(r.value(QStringLiteral("pla_eigenaar")).toString(), QStringLiteral("XYZ"));
    EXPECT_EQ(r.value(QStringLiteral("pla_ophstad")).toString(), QStringLiteral("Leiden"));
    EXPECT_TRUE(r.value(QStringLiteral("pla_ophpostcode")).isNull());
    EXPECT_TRUE(r.value(QStringLiteral("pla_cloud")).isNull()); // no QWijzigen default for it
    EXPECT_EQ(r.value(QStringLiteral("pla_auto_wagen")).toInt(), 0);
    EXPECT_EQ(r.value(QStringLiteral("pla_bloktijd")).toInt(), 1);
    EXPECT_FALSE(r.value(QStringLiteral("pla_temp")).toString().isEmpty());
    EXPECT_EQ(transactions(92), 0);
    EXPECT_EQ(controls.text(Control::LaatsteRit), QStringLiteral("0"));
    EXPECT_EQ(confirmations(), (QList<QPair<QString, QString>>{{QStringLiteral("41"), QStringLiteral("0")}}));
}

TEST_F(TripChanges, CancellationMarksTheRideOrConfirmsZero)
{
    const int id = newRide(QStringLiteral("50"));
    db.exec(QStringLiteral("UPDATE Planning SET pla_tekst=? WHERE pla_id=?"),
             {QStringLiteral("Klant wil aankomstgarantie"), id});
    controls.setText(Control::StandaardFilter, QStringLiteral("Q"));
    controls.setText(Control::Aankomst, QStringLiteral("A"));
    run(trip(QStringLiteral("50"), QStringLiteral("Delete"), QStringLiteral("<fromcity>Elders</fromcity>")) +
        trip(QStringLiteral("51"), QStringLiteral("DELETE")));
    EXPECT_EQ(log, QStringList{QStringLiteral(
                       "Rit ID 51 heeft geen actieve rit in de planning; er is niets geannuleerd.")});
    ASSERT_EQ(rideIds().size(), 1);
    const QVariantMap r = ride(id);
    EXPECT_EQ(r.value(QStringLiteral("pla_opmerking")).toString(), QStringLiteral("(VERWIJDERD 31-03 07:05)"));
    EXPECT_EQ(r.value(QStringLiteral("pla_cloud")).toInt(), 2);
    EXPECT_EQ(r.value(QStringLiteral("pla_filter")).toString(), QStringLiteral("A")); // the keyword rule after it
    EXPECT_EQ(r.value(QStringLiteral("pla_status")).toString(), QStringLiteral("W"));
    EXPECT_EQ(r.value(QStringLiteral("pla_ophstad")).toString(), QStringLiteral("Delft"));
    EXPECT_EQ(transactions(92), 1);
    EXPECT_EQ(controls.text(Control::Verwerkt), QStringLiteral("1"));
    EXPECT_EQ(controls.text(Control::LaatsteRit), QString::number(id));
    const QList<QPair<QString, QString>> sent = confirmations();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[1], qMakePair(QStringLiteral("50"), QString::number(id)));
    EXPECT_EQ(sent[2], qMakePair(QStringLiteral("51"), QStringLiteral("0")));
}

TEST_F(TripChanges, OnlyTheFirstOfTwoRidesWithTheNumberChanges)
{
    const int first = newRide(QStringLiteral("60"));
    // The import keeps one ride per trip; a second one comes from elsewhere (another program, an older version).
    db.exec(QStringLiteral("INSERT INTO Planning (pla_eigenaar, pla_extern, pla_extern_ritnummer, pla_ophstad, "
                            "pla_temp) VALUES ('007', 60, 60, 'Delft', 'tweede')"))
        .finish();
    const int second = scalar(QStringLiteral("SELECT pla_id FROM Planning WHERE pla_temp='tweede'")).toInt();
    run(trip(QStringLiteral("60"), QStringLiteral("UPDATE"), QStringLiteral("<fromcity>Gouda</fromcity>")) +
        trip(QStringLiteral("60"), QStringLiteral("DELETE")));
    EXPECT_EQ(ride(first).value(QStringLiteral("pla_ophstad")).toString(), QStringLiteral("Gouda"));
    EXPECT_FALSE(ride(first).value(QStringLiteral("pla_opmerking")).toString().isEmpty());
    EXPECT_EQ(ride(second).value(QStringLiteral("pla_ophstad")).toString(), QStringLiteral("Delft"));
    EXPECT_TRUE(ride(second).value(QStringLiteral("pla_opmerking")).toString().isEmpty());
}

TEST_F(TripChanges, AFailingChangeStoresNothingOfIt)
{
    const int id = newRide(QStringLiteral("70"));
    const QVariantMap before = ride(id);
    const int confirmed = int(confirmations().size());
    run(trip(QStringLiteral("70"), QStringLiteral("UPDATE"),
             QStringLiteral("<fromcity>Leiden</fromcity><passengers>3 personen</passengers>")) +
        trip(QStringLiteral("71"), QStringLiteral("UPDATE"), QStringLiteral("<fromcity>Gouda</fromcity>")));
    EXPECT_EQ(log, QStringList{QStringLiteral(
                       "Rit ID 70 is niet verwerkt: '3 personen' is not a valid integer value for field 'pla_lopers'")});
    EXPECT_EQ(ride(id), before);
    EXPECT_EQ(transactions(92), 0);
    // The failing change is left unconfirmed; the next trip is handled as usual (added, as it has no ride).
    EXPECT_EQ(rideIds().size(), 2);
    EXPECT_EQ(confirmations().mid(confirmed),
              (QList<QPair<QString, QString>>{{QStringLiteral("71"), QStringLiteral("0")}}));
}

TEST_F(TripChanges, CombinationComesFromTheChangedTripItself)
{
    const int id = newRide(QStringLiteral("80"), QStringLiteral("<combination>1</combination>"));
    run(trip(QStringLiteral("81"), QStringLiteral("INSERT"), kNewTrip, QStringLiteral("<combination>1</combination>")) +
        trip(QStringLiteral("80"), QStringLiteral("UPDATE"),
             QStringLiteral("<vialocations><vialocation><name>x</name>"
                            "</vialocation></vialocations>"),
             QStringLiteral("<combination>0</combination>")));
    EXPECT_EQ(ride(id).value(QStringLiteral("pla_combineren")).toInt(), 0);
    run(trip(QStringLiteral("80"), QStringLiteral("UPDATE"), QString(),
             QStringLiteral("<combination>1</combination><comment>niet combineren</comment>")));
    EXPECT_EQ(ride(id).value(QStringLiteral("pla_combineren")).toInt(), 0);
    run(trip(QStringLiteral("80"), QStringLiteral("UPDATE"), QString(),
             QStringLiteral("<combination>2</combination>")));
    EXPECT_EQ(ride(id).value(QStringLiteral("pla_combineren")).toInt(), 1);
}

} // namespace
