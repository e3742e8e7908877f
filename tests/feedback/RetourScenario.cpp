#include "RetourScenario.h"

#include "OutboxRows.h"
#include "base/EventPump.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "feedback/RetourCycle.h"
#include "link/SoapTransport.h"
#include "link/TextList.h"

#include "OstrelSim.h"
#include "support/TestNetwork.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace OutboxRows;

void RunRetourScenario(Controls &controls, DispatchDb &db, OstrelSim &sim, const ProgramFolders &folders)
{
    const QDate day(2015, 3, 31);
    addVehicle(db, 1, u"12-ABC-3"_qs, 17);
    addRide(db, 1, 1, 5001, u"L"_qs);
    addRide(db, 2, 1, 5002);
    addRide(db, 3, QVariant(), 5003);
    addEvent(db, 10, 1, 0, u"007"_qs, QDateTime(day, QTime(10, 2)));
    addEvent(db, 11, 2, 8, u"007"_qs, QDateTime(day, QTime(10, 1)));
    addEvent(db, 12, 2, 2, u"007"_qs, QDateTime(day, QTime(10, 3)), 0, -4.9, 52.370216);
    addEvent(db, 13, 1, 2, u"008"_qs, QDateTime(day, QTime(10, 0)));
    addEvent(db, 14, 1, 1, u"007"_qs, QDateTime(day, QTime(10, 0)), 3);
    addEvent(db, 15, 3, 1, u"007"_qs, QDateTime(day, QTime(10, 0)));
    db.close();

    controls.setText(Control::xSoapServer, sim.url());
    controls.setText(Control::Eigenaar, u"007"_qs);
    controls.setChecked(Control::xBezet, true);
    controls.setChecked(Control::BackupsMaken, true);
    sim.queueReply(u"processTrips"_qs, OstrelSim::statusReply(u"processTrips"_qs, u"500"_qs));

    QtEventPump pump;
    SystemClock clock;
    TextList resultList;
    QStringList log;
    OperationContext ctx{controls,   MakeServiceFactory(controls, TestNetwork(), nullptr),          db, pump, clock, folders,
                         resultList, [&log](const QString &m) { log << m; }};
    RetourCycle cycle;
    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));

    const QList<OstrelSim::Request> requests = sim.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].action, u"SendStatus"_qs);
    EXPECT_TRUE(requests[0].kwp.contains(u"<externalID>2</externalID><datetime>20150331080500</datetime>"
                                         "<messagetype>8</messagetype>"_qs));
    EXPECT_EQ(requests[1].action, u"processTrips"_qs);
    EXPECT_TRUE(requests[1].kwp.contains(u"<realPassengers>3</realPassengers><noShow>1</noShow>"
                                         "<noShowComment>Niet thuis</noShowComment><odoMeterStart>12345670"
                                         "</odoMeterStart><odoMeterEnd>12400100</odoMeterEnd>"_qs))
        << qPrintable(requests[1].kwp);
    EXPECT_EQ(requests[2].action, u"SendStatus"_qs);
    EXPECT_TRUE(requests[2].kwp.contains(u"<messagetype>2</messagetype><latitude>-4,90000</latitude>"
                                         "<longitude>52,37022</longitude>"_qs))
        << qPrintable(requests[2].kwp);

    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(eventStatus(db, 10), 3);
    EXPECT_EQ(eventStatus(db, 12), 1);
    EXPECT_EQ(eventStatus(db, 13), 0);
    EXPECT_EQ(eventStatus(db, 14), 3);
    EXPECT_EQ(eventStatus(db, 15), 0);
    EXPECT_EQ(statusTransactions(db), (QStringList{u"2:200"_qs, u"1:500"_qs, u"2:200"_qs}));
    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));
    EXPECT_EQ(QDir(folders.backupsUitDir + QLatin1Char('/') + QDate::currentDate().toString(u"yyyy-MM-dd"_qs))
                  .entryList(QDir::Files, QDir::Name),
              (QStringList{u"RcvdStatus_1_0.xml"_qs, u"RcvdStatus_2_2.xml"_qs, u"RcvdStatus_2_8.xml"_qs,
                           u"SendStatus_1_0.xml"_qs, u"SendStatus_2_2.xml"_qs, u"SendStatus_2_8.xml"_qs}));
    EXPECT_EQ(controls.lines(Control::UitgaanPakket).size(), 1);
    EXPECT_TRUE(controls.lines(Control::UitgaanPakket).value(0).contains(u"<messagetype>2</messagetype>"_qs));
}
