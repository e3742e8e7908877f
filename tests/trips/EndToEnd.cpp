#include "EndToEnd.h"
#include "base/WallDateTime.h"

#include "ImportHarness.h"

#include "OstrelSim.h"
#include "link/ReadXmlTag.h"
#include "link/SoapTransport.h"
#include "support/TestNetwork.h"

#include <gtest/gtest.h>

namespace {

QString confirmedExternalId(const OstrelSim::Request &r)
{
    return ReadXMLTag(r.kwp, QStringLiteral("externalID"));
}

} // namespace

void RunEndToEndCycles(ImportHarness &h)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    h.controls.setText(Control::xSoapServer, sim.url());
    h.ctx().service = MakeServiceFactory(h.controls, TestNetwork(), nullptr);

    OstrelSim::TripGeneration five;
    five.count = 5;
    QString first = OstrelSim::retrieveTripsReply(five);
    // Trip 2 carries an action the client does not know, trip 4 a date that does not exist.
    const QString insert2 = QStringLiteral("<id>100002</id>\n\t\t\t\t\t<tripaction>INSERT</tripaction>");
    ASSERT_TRUE(first.contains(insert2));
    first.replace(insert2, QStringLiteral("<id>100002</id>\n\t\t\t\t\t<tripaction>CREATE</tripaction>"));
    const QString date4 = QStringLiteral("<fromdatetime>201305140845</fromdatetime>");
    ASSERT_TRUE(first.contains(date4));
    first.replace(date4, QStringLiteral("<fromdatetime>201302300845</fromdatetime>"));
    sim.queueReply(QStringLiteral("RetrieveTrips"), first);

    h.cycle();

    EXPECT_EQ(h.log, QStringList{QStringLiteral("Rit ID 100004 is niet verwerkt: Invalid argument to date encode")});
    const QList<int> ids = h.rideIds();
    ASSERT_EQ(ids.size(), 3);
    const QVariantMap ride1 = h.ride(ids[0]);
    EXPECT_EQ(ride1.value(QStringLiteral("pla_extern_ritnummer")).toInt(), 100001);
    EXPECT_EQ(h.ride(ids[1]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 100003);
    EXPECT_EQ(DispatchDb::toDateTime(ride1.value(QStringLiteral("pla_datum"))),
              WallDateTime(QDate(2013, 5, 14), QTime(8, 0)));
    EXPECT_DOUBLE_EQ(ride1.value(QStringLiteral("pla_bedrag")).toDouble(), 2.5);
    EXPECT_EQ(ride1.value(QStringLiteral("pla_temp")).toString().left(17), QStringLiteral("P2015033107050939"));
    EXPECT_TRUE(ride1.value(QStringLiteral("pla_tekst")).toString().contains(QStringLiteral("\r\nVIA:")));
    QList<OstrelSim::Request> requests = sim.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].action, QStringLiteral("RetrieveTrips"));
    EXPECT_EQ(requests[1].action, QStringLiteral("ConfirmTrips"));
    EXPECT_EQ(ReadXMLTag(requests[1].kwp, QStringLiteral("id")), QStringLiteral("100001"));
    EXPECT_EQ(confirmedExternalId(requests[1]), QString::number(ids[0]));
    EXPECT_EQ(ReadXMLTag(requests[2].kwp, QStringLiteral("id")), QStringLiteral("100003"));
    EXPECT_EQ(confirmedExternalId(requests[2]), QString::number(ids[1]));
    EXPECT_EQ(ReadXMLTag(requests[3].kwp, QStringLiteral("id")), QStringLiteral("100005"));
    EXPECT_EQ(confirmedExternalId(requests[3]), QString::number(ids[2]));
    EXPECT_EQ(h.scalar(QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES WHERE tra_code=91")).toInt(), 3);
    EXPECT_EQ(h.controls.text(Control::Verwerkt), QStringLiteral("3"));

    // 100001 changed, 100002 changed without a ride (added), 100003 cancelled.
    h.log.clear();
    sim.clearRequests();
    OstrelSim::TripGeneration changes;
    changes.count = 3;
    changes.updateEvery = 1;
    changes.deleteEvery = 3;
    changes.start = QDateTime(QDate(2013, 5, 15), QTime(9, 0));
    sim.queueReply(QStringLiteral("RetrieveTrips"), OstrelSim::retrieveTripsReply(changes));

    h.cycle();

    EXPECT_TRUE(h.log.isEmpty()) << h.log.join(QLatin1Char('|')).toStdString();
    const QList<int> after = h.rideIds();
    ASSERT_EQ(after.size(), 4);
    const QVariantMap changed = h.ride(ids[0]);
    EXPECT_EQ(changed.value(QStringLiteral("pla_cloud")).toInt(), 2);
    EXPECT_EQ(DispatchDb::toDateTime(changed.value(QStringLiteral("pla_datum"))),
              WallDateTime(QDate(2013, 5, 15), QTime(9, 0)));
    EXPECT_EQ(h.ride(after[3]).value(QStringLiteral("pla_extern_ritnummer")).toInt(), 100002);
    EXPECT_EQ(h.ride(ids[1]).value(QStringLiteral("pla_opmerking")).toString(),
              QStringLiteral("(VERWIJDERD 31-03 07:05)"));
    requests = sim.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(confirmedExternalId(requests[1]), QString::number(ids[0]));
    EXPECT_EQ(confirmedExternalId(requests[2]), QStringLiteral("0"));
    EXPECT_EQ(confirmedExternalId(requests[3]), QString::number(ids[1]));
    EXPECT_EQ(h.scalar(QStringLiteral("SELECT COUNT(*) FROM TRANSACTIES WHERE tra_code=92")).toInt(), 2);
    EXPECT_EQ(h.controls.text(Control::Verwerkt), QStringLiteral("5"));
}
