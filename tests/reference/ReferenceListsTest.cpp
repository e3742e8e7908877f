#include "reference/ReferenceLists.h"
#include "reference/ReferenceLookup.h"

#include "base/Clock.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/QtPrinters.h"
#include "support/ScriptedService.h"
#include "support/TempProgramDir.h"

#include <gtest/gtest.h>

namespace
{

class CountingPump : public EventPump
{
  public:
    void processEvents() override { ++passes; }
    int passes = 0;
};

QString listReply(const QString &action, const QString &container, const QString &items,
                  const QString &status = u"200"_qs)
{
    return u"<?xml version=\"1.0\"?>\r\n<kwp version=\"1.0\">\r\n  <body>\r\n    <action>\r\n      <name>"_qs + action +
           u"</name>\r\n      <status>"_qs + status + u"</status>\r\n      <"_qs + container + u">"_qs + items +
           u"</"_qs + container + u">\r\n    </action>\r\n  </body>\r\n</kwp>"_qs;
}

QString vehicleTypes(const QString &items, const QString &status = u"200"_qs)
{
    return listReply(u"RetrieveVehicleTypes"_qs, u"vehicletypes"_qs, items, status);
}

const QStringList kOldLines{u"old=oud"_qs};

class ReferenceListsTest : public ::testing::Test
{
  protected:
    ReferenceListsTest()
    {
        controls.setText(Control::xInlognaam, u"taxi"_qs);
        controls.setText(Control::xPaswoord, u"geheim"_qs);
        controls.setText(Control::xSoapServer, u"http://127.0.0.1:1/_external/external.cfc"_qs);
        controls.setChecked(Control::BackupsMaken, true);
        controls.setText(Control::yStatus, u"..."_qs);
        controls.setText(Control::ySoort, u"..."_qs);
        for (ReferenceList list : kReferenceListOrder)
            controls.setLines(referenceListInfo(list).memo, kOldLines);
        resultList.setText(u"vorig antwoord"_qs);
    }

    OperationContext context()
    {
        return OperationContext{controls, service.factory(), db, pump, clock, dir.folders(), resultList, {}};
    }

    QStringList memo(ReferenceList list) const { return controls.lines(referenceListInfo(list).memo); }

    MemoryControls controls;
    ScriptedService service;
    TempProgramDir dir;
    DispatchDb db{controls, dir.path()};
    CountingPump pump;
    FixedClock clock{QDateTime(QDate(2024, 5, 1), QTime(8, 0))};
    TextList resultList;
};

TEST_F(ReferenceListsTest, AcceptedReplyReplacesTheMemoAndKeepsACopy)
{
    const QString reply = vehicleTypes(u"<vehicletype><id>1</id><name>Taxi</name></vehicletype>"
                                       "<vehicletype><id>A2</id><name>Rolstoel=bus</name></vehicletype>"
                                       "<vehicletype><name>Zonder id</name></vehicletype>"
                                       "<vehicletype><id>4</id></vehicletype>"
                                       "<vehicletype><id>1</id><name>Dubbel</name></vehicletype>"_qs);
    service.reply(reply);
    OperationContext ctx = context();

    EXPECT_TRUE(FetchReferenceList(ctx, ReferenceList::VehicleTypes));

    ASSERT_EQ(service.calls().size(), 1u);
    EXPECT_EQ(service.calls()[0].url, u"http://127.0.0.1:1/_external/external.cfc"_qs);
    EXPECT_EQ(service.calls()[0].xml,
              u"<kwp version=\"1.0\"><header><username>taxi</username><password>geheim</password></header>"
              "<body><action><name>RetrieveVehicleTypes</name></action></body></kwp>"_qs);
    EXPECT_EQ(memo(ReferenceList::VehicleTypes),
              (QStringList{u"1=Taxi"_qs, u"A2=Rolstoel=bus"_qs, u"=Zonder id"_qs, u"4="_qs, u"1=Dubbel"_qs}));
    EXPECT_EQ(memo(ReferenceList::Products), kOldLines);
    EXPECT_EQ(controls.text(Control::yStatus), u"200"_qs);
    EXPECT_EQ(controls.text(Control::ySoort), u"RetrieveVehicleTypes"_qs);
    EXPECT_EQ(resultList.lines(), TextList(reply).lines());
    EXPECT_EQ(dir.read(u"Ostrel/Backups/In/RetrieveVehicleTypes.xml"_qs), TextList(reply).text().toLatin1());
}

TEST_F(ReferenceListsTest, LinesHoldTheTextsTheReplyStandsFor)
{
    // Entities, character references and CDATA are decoded in ids and names alike, so a trip's (decoded) id finds
    // its line.
    service.reply(vehicleTypes(u"<vehicletype><id>1</id><name>Taxi &amp; Bus</name></vehicletype>"
                               "<vehicletype><id>A&amp;2</id><name><![CDATA[Rolstoel <groot>]]></name></vehicletype>"
                               "<vehicletype><id>3</id><name>&#x141;&#xF3;d&#x17A; &#8364;</name></vehicletype>"_qs));
    OperationContext ctx = context();
    EXPECT_TRUE(FetchReferenceList(ctx, ReferenceList::VehicleTypes));
    EXPECT_EQ(memo(ReferenceList::VehicleTypes),
              (QStringList{u"1=Taxi & Bus"_qs, u"A&2=Rolstoel <groot>"_qs, u"3=Łódź €"_qs}));
    EXPECT_EQ(ReferenceLookup(memo(ReferenceList::VehicleTypes), u"a&2"_qs), u"Rolstoel <groot>"_qs);
}

TEST_F(ReferenceListsTest, EachListUsesItsOwnActionContainerMemoAndFile)
{
    for (ReferenceList list : kReferenceListOrder) {
        const ReferenceListInfo &info = referenceListInfo(list);
        const QString action = QString::fromLatin1(info.action);
        const QString item = QString::fromLatin1(info.item);
        service.reply(listReply(action, QString::fromLatin1(info.container),
                                u"<"_qs + item + u"><id>7</id><name>"_qs + action + u"</name></"_qs + item + u">"_qs));
        OperationContext ctx = context();
        EXPECT_TRUE(FetchReferenceList(ctx, list)) << info.action;
        EXPECT_TRUE(service.calls().back().xml.endsWith(u"<name>"_qs + action + u"</name></action></body></kwp>"_qs));
        EXPECT_EQ(memo(list), QStringList{u"7="_qs + action}) << info.action;
        EXPECT_FALSE(dir.read(u"Ostrel/Backups/In/"_qs + QString::fromLatin1(info.copyFile)).isEmpty());
    }
}

TEST_F(ReferenceListsTest, EmptyContainerEmptiesTheMemo)
{
    service.reply(vehicleTypes(QString()));
    OperationContext ctx = context();
    EXPECT_TRUE(FetchReferenceList(ctx, ReferenceList::VehicleTypes));
    EXPECT_TRUE(memo(ReferenceList::VehicleTypes).isEmpty());
    EXPECT_EQ(controls.text(Control::yStatus), u"200"_qs);
    EXPECT_EQ(controls.text(Control::ySoort), u"RetrieveVehicleTypes"_qs);
}

struct RefusedCase {
    const char *what;
    QString reply;
};

void PrintTo(const RefusedCase &c, std::ostream *os)
{
    *os << c.what;
}

class RefusedReplyTest : public ReferenceListsTest, public ::testing::WithParamInterface<RefusedCase>
{
};

TEST_P(RefusedReplyTest, ChangesNothingButTheResultList)
{
    service.reply(GetParam().reply);
    OperationContext ctx = context();

    EXPECT_FALSE(FetchReferenceList(ctx, ReferenceList::VehicleTypes));

    EXPECT_EQ(memo(ReferenceList::VehicleTypes), kOldLines);
    EXPECT_EQ(controls.text(Control::yStatus), u"..."_qs);
    EXPECT_EQ(controls.text(Control::ySoort), u"..."_qs);
    EXPECT_TRUE(dir.files(u"Ostrel/Backups/In"_qs).isEmpty());
    EXPECT_EQ(resultList.lines(), TextList(GetParam().reply).lines());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedReplyTest,
    ::testing::Values(
        RefusedCase{"status 500", vehicleTypes(u"<vehicletype><id>1</id><name>T</name></vehicletype>"_qs, u"500"_qs)},
        RefusedCase{"status with a blank", vehicleTypes(QString(), u"200 "_qs)},
        RefusedCase{"no status", u"<kwp><name>RetrieveVehicleTypes</name></kwp>"_qs},
        RefusedCase{"another action's reply", listReply(u"RetrieveProducts"_qs, u"products"_qs,
                                                        u"<product><id>1</id><name>P</name></product>"_qs)},
        RefusedCase{"not XML at all", u"Service Unavailable"_qs}));

TEST_F(ReferenceListsTest, FailedCallChangesNothing)
{
    service.fail(u"Host niet bereikbaar"_qs);
    OperationContext ctx = context();

    EXPECT_THROW(FetchReferenceList(ctx, ReferenceList::VehicleTypes), TransportError);

    EXPECT_EQ(memo(ReferenceList::VehicleTypes), kOldLines);
    EXPECT_EQ(resultList.lines(), QStringList{u"vorig antwoord"_qs});
    EXPECT_EQ(controls.text(Control::yStatus), u"..."_qs);
    EXPECT_TRUE(dir.files(u"Ostrel/Backups/In"_qs).isEmpty());
}

TEST_F(ReferenceListsTest, MalformedReplyEmptiesOnlyTheVehicleTypes)
{
    // Accepted by status and name, but the container is never closed.
    const QString broken = u"<kwp><status>200</status><name>%1</name><x><item><id>1</id><name>A</name></item></kwp>"_qs;
    for (ReferenceList list : kReferenceListOrder) {
        const QString action = QString::fromLatin1(referenceListInfo(list).action);
        service.reply(broken.arg(action));
        OperationContext ctx = context();
        EXPECT_THROW(FetchReferenceList(ctx, list), XmlParseError) << qPrintable(action);
        EXPECT_FALSE(
            dir.read(u"Ostrel/Backups/In/"_qs + QString::fromLatin1(referenceListInfo(list).copyFile)).isEmpty());
    }
    EXPECT_TRUE(memo(ReferenceList::VehicleTypes).isEmpty());
    EXPECT_EQ(memo(ReferenceList::Indications), kOldLines);
    EXPECT_EQ(memo(ReferenceList::AccessibilityEquipments), kOldLines);
    EXPECT_EQ(memo(ReferenceList::Products), kOldLines);
    EXPECT_EQ(controls.text(Control::yStatus), u"..."_qs);
}

TEST_F(ReferenceListsTest, NoCopyWhileBackupsAreOff)
{
    controls.setChecked(Control::BackupsMaken, false);
    service.reply(vehicleTypes(u"<vehicletype><id>1</id><name>Taxi</name></vehicletype>"_qs));
    OperationContext ctx = context();
    EXPECT_TRUE(FetchReferenceList(ctx, ReferenceList::VehicleTypes));
    EXPECT_EQ(memo(ReferenceList::VehicleTypes), QStringList{u"1=Taxi"_qs});
    EXPECT_TRUE(dir.files(u"Ostrel/Backups/In"_qs).isEmpty());
}

TEST_F(ReferenceListsTest, RefreshFetchesTheFourInOrderWithAPassAfterEach)
{
    // The second reply is refused: no error, the refresh goes on.
    service.reply(vehicleTypes(QString()));
    service.reply(vehicleTypes(QString()));
    service.reply(listReply(u"RetrieveAccessibilityEquipments"_qs, u"accessibilityequipments"_qs, QString()));
    service.reply(listReply(u"RetrieveProducts"_qs, u"products"_qs,
                            u"<product><id>P1</id><name>Kostenplaats</name></product>"_qs));
    OperationContext ctx = context();

    RefreshReferenceLists(ctx);

    ASSERT_EQ(service.calls().size(), 4u);
    const char *order[] = {"RetrieveVehicleTypes", "RetrieveIndications", "RetrieveAccessibilityEquipments",
                           "RetrieveProducts"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(service.calls()[i].xml.contains(u"<name>"_qs + QString::fromLatin1(order[i]) + u"</name>"_qs));
    EXPECT_EQ(pump.passes, 4);
    EXPECT_EQ(memo(ReferenceList::Indications), kOldLines);
    EXPECT_EQ(memo(ReferenceList::Products), QStringList{u"P1=Kostenplaats"_qs});
}

TEST_F(ReferenceListsTest, RefreshStopsAtTheFirstError)
{
    service.reply(vehicleTypes(QString()));
    service.fail(u"Time-out"_qs);
    OperationContext ctx = context();

    EXPECT_THROW(RefreshReferenceLists(ctx), TransportError);

    EXPECT_EQ(service.calls().size(), 2u);
    EXPECT_EQ(pump.passes, 1);
    EXPECT_EQ(memo(ReferenceList::Products), kOldLines);
}

} // namespace
