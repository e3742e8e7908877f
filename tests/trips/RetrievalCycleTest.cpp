#include "ImportHarness.h"
#include "TripFixtures.h"

#include "base/VoranoError.h"

#include <gtest/gtest.h>

namespace
{

using TripFixtures::kDates;
using TripFixtures::reply;
using TripFixtures::trip;

QString dates()
{
    return QLatin1String(kDates);
}

class RetrievalCycle : public ::testing::Test, public ImportHarness
{
};

TEST_F(RetrievalCycle, StoresAndConfirmsEveryTripButTheFailingOne)
{
    const QString trips =
        trip(QStringLiteral("101"), QStringLiteral("INSERT"), dates() + QStringLiteral("<eb>1250</eb>")) +
        trip(QStringLiteral("102"), QStringLiteral("Insert"), dates()) +
        trip(QStringLiteral("103"), QStringLiteral("CREATE"), dates()) +
        trip(QStringLiteral("104"), QStringLiteral("INSERT"),
             QStringLiteral("<fromdatetime>201302301200</fromdatetime>")) +
        trip(QStringLiteral("105"), QStringLiteral("INSERT"), dates());
    service.reply(reply(trips));

    cycle();
    EXPECT_FALSE(db.isOpen()); // closed after every new ride

    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 3);
    EXPECT_EQ(ride(ids[0]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 101);
    EXPECT_EQ(ride(ids[1]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 102);
    EXPECT_EQ(ride(ids[2]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 105);
    EXPECT_DOUBLE_EQ(ride(ids[0]).value(QStringLiteral("pla_bedrag")).toDouble(), 12.5);
    const QList<QPair<QString, QString>> expected = {{QStringLiteral("101"), QString::number(ids[0])},
                                                     {QStringLiteral("102"), QString::number(ids[1])},
                                                     {QStringLiteral("105"), QString::number(ids[2])}};
    EXPECT_EQ(confirmations(), expected);
    EXPECT_EQ(log, QStringList{QStringLiteral("Rit ID 104 is niet verwerkt: Invalid argument to date encode")});
    EXPECT_EQ(controls.text(Control::Verwerkt), QStringLiteral("3"));
    EXPECT_EQ(controls.text(Control::LaatsteRit), QString::number(ids[2]));
    EXPECT_EQ(controls.text(Control::yRitID), QStringLiteral("105"));
    EXPECT_EQ(controls.text(Control::yStatus), QStringLiteral("200"));
    EXPECT_EQ(controls.text(Control::ySoort), QStringLiteral("RetrieveTrips"));
    EXPECT_EQ(pump.passes, 6);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES WHERE tra_code=91")).toInt(), 3);
    EXPECT_EQ(scalar(QStringLiteral("SELECT tra_opmerking FROM TRANSACTIES WHERE tra_rit=?"), {ids[0]}).toString(),
              QStringLiteral("101"));
    // Copies of every trip reached (also the failing one), one reply copy per second.
    // In the folder of the day.
    EXPECT_EQ(dir.copies(QStringLiteral("Ostrel/Backups/In")),
              (QStringList{QStringLiteral("2015-03-31/RetrieveTrips_INS_101_3103070509.xml"),
                           QStringLiteral("2015-03-31/RetrieveTrips_INS_102_3103070509.xml"),
                           QStringLiteral("2015-03-31/RetrieveTrips_INS_104_3103070509.xml"),
                           QStringLiteral("2015-03-31/RetrieveTrips_INS_105_3103070509.xml")}));
    EXPECT_EQ(dir.copies(QStringLiteral("Ostrel/Backups/Uit")),
              QStringList{QStringLiteral("2015-03-31/OstrelResult310307050939.xml")});
    const QByteArray copy =
        dir.read(QStringLiteral("Ostrel/Backups/In/2015-03-31/RetrieveTrips_INS_101_3103070509.xml"));
    EXPECT_TRUE(copy.contains("<client></client>")) << copy.constData();
    EXPECT_TRUE(copy.endsWith("\r\n"));
}

TEST_F(RetrievalCycle, RefusedReplyOrProcessingOffChangesNoTrip)
{
    struct Case {
        const char *name;
        QString reply;
        bool verwerken;
    };
    const QString oneTrip = trip(QStringLiteral("1"), QStringLiteral("INSERT"), dates());
    const Case cases[] = {
        {"status", reply(oneTrip, QStringLiteral("500")), true},
        {"status with blank", reply(oneTrip, QStringLiteral(" 200")), true},
        {"action name", reply(oneTrip, QStringLiteral("200"), QStringLiteral("RetrieveTripz")), true},
        {"not processing", reply(oneTrip), false},
    };
    for (const Case &c : cases) {
        controls.setChecked(Control::xVerwerken, c.verwerken);
        service.reply(c.reply);
        cycle();
        EXPECT_EQ(resultList.text(), c.reply + QStringLiteral("\r\n")) << c.name;
        EXPECT_EQ(controls.text(Control::yStatus), QStringLiteral("...")) << c.name;
        EXPECT_EQ(controls.text(Control::ySoort), QStringLiteral("...")) << c.name;
    }
    EXPECT_TRUE(rideIds().isEmpty());
    EXPECT_TRUE(confirmations().isEmpty());
    // Only the trips dropped while processing is off are said: a refused reply is the service's answer.
    EXPECT_EQ(log, QStringList{QStringLiteral(
                       "1 opgehaalde rit(ten) niet verwerkt: \"Ritten verwerken naar centrale agenda\" staat uit.")});
    EXPECT_EQ(pump.passes, 0);
}

TEST_F(RetrievalCycle, EmptyTripListOnlyShowsStatusAndKind)
{
    service.reply(reply(QString()));
    cycle();
    EXPECT_EQ(controls.text(Control::yStatus), QStringLiteral("200"));
    EXPECT_EQ(controls.text(Control::ySoort), QStringLiteral("RetrieveTrips"));
    EXPECT_EQ(controls.text(Control::yRitID), QStringLiteral("..."));
    EXPECT_EQ(pump.passes, 1);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(RetrievalCycle, IndentedReplyAndClientIdBeforeTheTripId)
{
    // The client part comes first and has an id of its own; tabs and line breaks indent the reply.
    const QString t = QStringLiteral("\n\t\t<trip>\n\t\t\t<client><id>77</id><lastname>Jansen</lastname></client>\n"
                                     "\t\t\t<id>500</id>\n\t\t\t<tripaction>insert</tripaction>") +
                      dates() + QStringLiteral("\n\t\t</trip>\n\t");
    service.reply(QStringLiteral("<kwp>\n\t<status>200</status>\n\t<body><action><name>RetrieveTrips</name>"
                                 "</action>\n\t<triplist>") +
                  t + QStringLiteral("</triplist></body>\n</kwp>"));
    controls.setChecked(Control::BackupsMaken, true);
    cycle();
    ASSERT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 1);
    EXPECT_EQ(controls.text(Control::yRitID), QStringLiteral("500")); // the trip's own id, not its client's
    EXPECT_EQ(controls.text(Control::yActie), QStringLiteral("insert"));
    EXPECT_EQ(ride(ids[0]).value(QStringLiteral("pla_extern")).toInt(), 500);
    EXPECT_TRUE(
        ride(ids[0]).value(QStringLiteral("pla_tekst")).toString().startsWith(QStringLiteral("Naam: Jansen \r\n")));
    EXPECT_EQ(confirmations().value(0).first, QStringLiteral("500"));
    EXPECT_EQ(dir.copies(QStringLiteral("Ostrel/Backups/In")),
              QStringList{QStringLiteral("2015-03-31/RetrieveTrips_INS_500_3103070509.xml")});
    EXPECT_FALSE(resultList.text().contains(QLatin1Char('\t')));
}

// A trip's id is its own element: an empty, blank, self-closing or missing id is refused with its line and is never
// taken from the vehicle type or an equipment inside the trip; an id after those is still the trip's.
TEST_F(RetrievalCycle, TheTripIdIsTheTripsOwnElement)
{
    const QString nested = QStringLiteral("<vehicletype><id>3</id><name>Taxi</name></vehicletype>"
                                          "<accessibilityequipments><accessibilityequipment><id>4</id><name>R</name>"
                                          "<amount>1</amount></accessibilityequipment></accessibilityequipments>");
    const QString action = QStringLiteral("<tripaction>INSERT</tripaction>");
    const QString refused = QStringLiteral("Rit ID  is geen geldig ritnummer; de rit is niet verwerkt.");
    const struct {
        const char *what;
        QString trip;
        int stored; // the trip number stored and confirmed; 0: none
    } cases[] = {
        {"empty", QStringLiteral("<trip><id></id>") + action + nested + dates() + QStringLiteral("</trip>"), 0},
        {"blank", QStringLiteral("<trip><id> </id>") + action + nested + dates() + QStringLiteral("</trip>"), 0},
        {"self-closing", QStringLiteral("<trip><id/>") + action + nested + dates() + QStringLiteral("</trip>"), 0},
        {"missing", QStringLiteral("<trip>") + action + nested + dates() + QStringLiteral("</trip>"), 0},
        {"after the nested ids",
         QStringLiteral("<trip>") + action + nested + QStringLiteral("<id>600</id>") + dates() +
             QStringLiteral("</trip>"),
         600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        const qsizetype confirmedBefore = confirmations().size();
        service.reply(reply(c.trip));
        cycle();
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM planning WHERE pla_extern IN (3, 4)")).toInt(), 0);
        if (c.stored) {
            EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM planning WHERE pla_extern=?"), {c.stored}).toInt(),
                      1);
            ASSERT_EQ(confirmations().size(), confirmedBefore + 1);
            EXPECT_EQ(confirmations().last().first, QString::number(c.stored));
        } else {
            EXPECT_EQ(log, QStringList{refused});
            EXPECT_EQ(confirmations().size(), confirmedBefore);
        }
    }

    // A cancellation whose id is empty cancels nothing, not the ride whose number is its vehicle type's id.
    service.reply(reply(trip(QStringLiteral("930001"), QStringLiteral("INSERT"), dates())));
    cycle();
    ASSERT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM planning WHERE pla_extern=930001")).toInt(), 1);
    const qsizetype confirmedBefore = confirmations().size();
    log.clear();
    service.reply(reply(QStringLiteral("<trip><id></id><tripaction>DELETE</tripaction><vehicletype><id>930001</id>"
                                       "</vehicletype></trip>")));
    cycle();
    EXPECT_EQ(log, QStringList{refused});
    EXPECT_NE(scalar(QStringLiteral("SELECT pla_cloud FROM planning WHERE pla_extern=930001")).toInt(), 2);
    EXPECT_EQ(confirmations().size(), confirmedBefore);
}

TEST_F(RetrievalCycle, ErrorsBeforeTheTripsAreReadReachTheCaller)
{
    service.fail(QStringLiteral("Host niet gevonden"));
    EXPECT_THROW(cycle(), TransportError);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(RetrievalCycle, ErrorsWhileReadingEndTheCycleWithOneLogLine)
{
    struct Case {
        const char *name;
        QString reply;
        bool failConfirmation;
        int rides;
    };
    const Case cases[] = {
        {"malformed reply", QStringLiteral("<kwp><status>200</status><name>RetrieveTrips</name><triplist><trip>"),
         false, 0},
        {"12-digit id", reply(trip(QStringLiteral("123456789012"), QStringLiteral("INSERT"), dates())), false, 0},
        {"confirmation fails", reply(trip(QStringLiteral("7"), QStringLiteral("INSERT"), dates())), true, 1},
    };
    int rides = 0;
    for (const Case &c : cases) {
        log.clear();
        service.reply(c.reply);
        if (c.failConfirmation)
            service.fail(QStringLiteral("Verbinding verbroken"));
        EXPECT_NO_THROW(cycle()) << c.name;
        EXPECT_EQ(log.size(), 1) << c.name;
        rides += c.rides;
        EXPECT_EQ(rideIds().size(), rides) << c.name;
    }
    EXPECT_EQ(log.value(0), QStringLiteral("Verbinding verbroken"));
}

TEST_F(RetrievalCycle, BadTripsStoredAsThePartsAllow)
{
    const QString trips =
        QStringLiteral("<trip><tripaction>INSERT</tripaction>") + dates() + QStringLiteral("</trip>") + // no id
        trip(QStringLiteral("2"), QStringLiteral("INSERT"), dates() + QStringLiteral("<eb>abc</eb>"), QString()) +
        QStringLiteral("<trip><id>3</id><tripaction>INSERT</tripaction>") + dates() + QStringLiteral("</trip>") +
        trip(QStringLiteral("4"), QStringLiteral("INSERT"), dates(),
             QStringLiteral("<lastname>Иванов</lastname><firstname>Łukasz</firstname>"));
    service.reply(reply(trips));
    cycle();
    // A trip without an id has no number to keep its ride by: it is refused, never stored with number 0.
    EXPECT_EQ(log, QStringList{QStringLiteral("Rit ID  is geen geldig ritnummer; de rit is niet verwerkt.")});
    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 3);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM Planning WHERE pla_extern=0")).toInt(), 0);
    EXPECT_EQ(confirmations().value(0).first, QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(ride(ids[0]).value(QStringLiteral("pla_bedrag")).toDouble(), 0.0);
    EXPECT_EQ(ride(ids[2]).value(QStringLiteral("pla_naam_reiziger")).toString(), QStringLiteral("?????? ?ukasz"));
    EXPECT_TRUE(
        ride(ids[2]).value(QStringLiteral("pla_tekst")).toString().startsWith(QStringLiteral("Naam: Иванов Łukasz")));
}

TEST_F(RetrievalCycle, InternalActionFromTheCompanyConstants)
{
    controls.setText(Control::xBedrijf, QStringLiteral("4"));
    db.exec(QStringLiteral("INSERT INTO constanten (con_bdr_id, con_aanvraag_verzenden) VALUES (4, 6)"));
    service.reply(reply(trip(QStringLiteral("9"), QStringLiteral("INSERT"), dates())));
    cycle();
    service.reply(reply(trip(QStringLiteral("10"), QStringLiteral("INSERT"), dates())));
    cycle();
    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(ride(ids[1]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 10);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM InterneActies WHERE iac_code=6")).toInt(), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT iac_rit FROM InterneActies ORDER BY iac_rit DESC")).toInt(), ids[1]);

    controls.setText(Control::xBedrijf, QStringLiteral("5"));
    service.reply(reply(trip(QStringLiteral("11"), QStringLiteral("INSERT"), dates())));
    cycle();
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM InterneActies")).toInt(), 2);
    EXPECT_EQ(controls.text(Control::Verwerkt), QStringLiteral("3"));
}

TEST_F(RetrievalCycle, ConfirmationsOffSendsNone)
{
    controls.setChecked(Control::xBevestigen, false);
    controls.setChecked(Control::BackupsMaken, false);
    service.reply(reply(trip(QStringLiteral("1"), QStringLiteral("INSERT"), dates())));
    cycle();
    EXPECT_EQ(rideIds().size(), 1);
    EXPECT_TRUE(confirmations().isEmpty());
    EXPECT_TRUE(dir.files(QStringLiteral("Ostrel/Backups/In")).isEmpty());
}

} // namespace
