#include "RetourScenario.h"

#include "OutboxRows.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "feedback/RetourCycle.h"
#include "link/SoapTransport.h"
#include "link/TextList.h"
#include "reference/ReferenceLists.h"
#include "settings/MemoryControls.h"
#include "support/TempProgramDir.h"
#include "support/TestNetwork.h"

#include "OstrelSim.h"

#include <gtest/gtest.h>

using namespace OutboxRows;

namespace
{

class RetourSimTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        controls.setText(Control::xLoginDriver, u"SQLite"_qs);
        controls.setText(Control::xSoapServer, sim.url());
        controls.setChecked(Control::xBezet, true);
        controls.setChecked(Control::BackupsMaken, true);
    }

    OperationContext context()
    {
        return OperationContext{controls,   MakeServiceFactory(controls, TestNetwork(), nullptr),          db, pump, clock, dir.folders(),
                                resultList, [this](const QString &m) { log << m; }};
    }

    void oneEvent()
    {
        addVehicle(db, 1, u"AB"_qs, 1);
        addRide(db, 1, 1, 5001);
        addEvent(db, 10, 1, 1, u"007"_qs, QDateTime(QDate(2015, 3, 31), QTime(10, 0)));
    }

    // One tick as the main window runs it: an escaped error becomes one log line.
    void tick(OperationContext &ctx)
    {
        try {
            cycle.RetourTimerTimer(ctx);
        } catch (const VoranoError &e) {
            log << e.message();
        }
    }

    OstrelSim sim;
    MemoryControls controls;
    TempProgramDir dir;
    DispatchDb db{controls, dir.path()};
    QtEventPump pump;
    SystemClock clock;
    TextList resultList;
    QStringList log;
    RetourCycle cycle;
};

TEST_F(RetourSimTest, OneCycleEndToEndOnSqlite)
{
    RunRetourScenario(controls, db, sim, dir.folders());
}

TEST_F(RetourSimTest, UnreachableServiceCostsOneLogLinePerTick)
{
    oneEvent();
    sim.stop();
    OperationContext ctx = context();
    tick(ctx);
    tick(ctx);
    EXPECT_EQ(log.size(), 2);
    EXPECT_EQ(eventStatus(db, 10), 0);
    EXPECT_TRUE(statusTransactions(db).isEmpty());
}

TEST_F(RetourSimTest, FaultsAndBrokenRepliesLeaveTheEventPending)
{
    oneEvent();
    OstrelSim::RawReply html;
    html.status = 500;
    html.reason = "Internal Server Error";
    html.contentType = "text/html";
    html.body = "<html><body><h1>500 Internal Server Error</h1></body></html>";
    sim.queueRaw(u"SendStatus"_qs, html);
    sim.queueFault(u"SendStatus"_qs, u"coldfusion.runtime.CustomException"_qs);
    sim.queueDrop(u"SendStatus"_qs);
    OperationContext ctx = context();
    for (int i = 0; i < 3; ++i)
        tick(ctx);
    EXPECT_EQ(log.size(), 3) << qPrintable(log.join(u'\n'));
    EXPECT_EQ(eventStatus(db, 10), 0);
    EXPECT_TRUE(statusTransactions(db).isEmpty());

    // The next tick gets the default accepted reply.
    tick(ctx);
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_EQ(statusTransactions(db), QStringList{u"1:200"_qs});
}

TEST_F(RetourSimTest, ReferenceListsFromTheSimulator)
{
    OperationContext ctx = context();
    RefreshReferenceLists(ctx);
    const QList<OstrelSim::Request> requests = sim.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].action, u"RetrieveVehicleTypes"_qs);
    EXPECT_EQ(requests[3].action, u"RetrieveProducts"_qs);
    for (ReferenceList list : kReferenceListOrder)
        EXPECT_FALSE(controls.lines(referenceListInfo(list).memo).isEmpty()) << referenceListInfo(list).action;
    EXPECT_EQ(controls.text(Control::ySoort), u"RetrieveProducts"_qs);
}

} // namespace
