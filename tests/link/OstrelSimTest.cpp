#include "OstrelSim.h"

#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/SoapTransport.h"

#include "base/VoranoError.h"

#include "support/QtPrinters.h"
#include "support/TestNetwork.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace
{

QString kwpFor(const QString &action)
{
    return BuildRequest(KwpVersion(action), action, QStringLiteral("u"), QStringLiteral("p"));
}

class OstrelSimTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(sim.start()) << sim.errorString().toStdString(); }
    QString call(const QString &action) { return CreateServiceProxy(TestNetwork(), sim.url())->xmlRequest(kwpFor(action)); }

    // A plain HTTP exchange on this thread, for what the transport never sends.
    QNetworkReply *send(QNetworkRequest request, const QByteArray &body, bool post = true)
    {
        QNetworkReply *reply = post ? m_manager.post(request, body) : m_manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->setParent(&m_manager);
        return reply;
    }

    OstrelSim sim;
    QNetworkAccessManager m_manager;
};

TEST_F(OstrelSimTest, BuiltInAnswersCarryStatus200AndTheActionName)
{
    for (const char *action :
         {KwpAction::ConfirmTrips, KwpAction::SendStatus, KwpAction::processTrips, KwpAction::RetrieveTrips,
          KwpAction::RetrieveVehicleTypes, KwpAction::RetrieveIndications, KwpAction::RetrieveAccessibilityEquipments,
          KwpAction::RetrieveProducts}) {
        const QString reply = call(QLatin1String(action));
        EXPECT_TRUE(ReplyAccepted(reply, QLatin1String(action), true)) << action;
        EXPECT_NO_THROW(NormalizeReply(reply)) << action;
    }
    EXPECT_FALSE(ReplyAccepted(call(QStringLiteral("Onbekend")), QStringLiteral("Onbekend"), false));
}

TEST_F(OstrelSimTest, ReferenceListsHoldItemsWithIdAndName)
{
    const QString reply = NormalizeReply(call(QStringLiteral("RetrieveProducts")));
    const QStringList items = WalkItems(ReadXMLTag(reply, QStringLiteral("products")), QStringLiteral("product"));
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(ReadXMLTag(items.at(3), QStringLiteral("id")), QStringLiteral("4"));
    EXPECT_EQ(ReadXMLTag(items.at(3), QStringLiteral("name")), QStringLiteral("Valys &amp; regiotaxi"));
}

TEST_F(OstrelSimTest, GeneratedTripsHaveTheirActionsAndTheElementsTheMappingReads)
{
    OstrelSim::TripGeneration generation;
    generation.count = 6;
    generation.updateEvery = 2;
    generation.deleteEvery = 3;
    sim.setGeneratedTrips(generation);
    const QString reply = NormalizeReply(call(QStringLiteral("RetrieveTrips")));
    const QStringList trips = WalkItems(ReadXMLTag(reply, QStringLiteral("triplist")), QStringLiteral("trip"));
    ASSERT_EQ(trips.size(), 6);
    QStringList actions;
    for (const QString &trip : trips)
        actions << ReadXMLTag(trip, QStringLiteral("tripaction"));
    EXPECT_EQ(actions, (QStringList{"INSERT", "UPDATE", "DELETE", "UPDATE", "INSERT", "DELETE"}));
    const QString &first = trips.at(0);
    EXPECT_EQ(ReadXMLTag(first, QStringLiteral("id")), QStringLiteral("100001"));
    EXPECT_EQ(ReadXMLTag(first, QStringLiteral("fromdatetime")), QStringLiteral("201305140800"));
    for (const char *tag : {"client", "lastname", "vehicletype", "fromstreet", "destinationcity", "eb", "price",
                            "distance", "productid", "vialocations", "accessibilityequipments", "clientindications"})
        EXPECT_FALSE(ReadXMLTag(first, QLatin1String(tag)).isEmpty()) << tag;
    EXPECT_EQ(OstrelSim::retrieveTripsReply({}).contains(QLatin1String("<triplist/>")), true);
}

TEST_F(OstrelSimTest, StepsOfTheActionComeBeforeStepsForAnyActionAndDefaults)
{
    sim.setDefaultReply(QStringLiteral("SendStatus"), QStringLiteral("<kwp>standaard</kwp>"));
    sim.queueReply(QString(), QStringLiteral("<kwp>elke</kwp>"));
    sim.queueReply(QStringLiteral("SendStatus"), QStringLiteral("<kwp>eigen</kwp>"));
    EXPECT_EQ(call(QStringLiteral("SendStatus")), QStringLiteral("<kwp>eigen</kwp>"));
    EXPECT_EQ(call(QStringLiteral("SendStatus")), QStringLiteral("<kwp>elke</kwp>"));
    EXPECT_EQ(call(QStringLiteral("SendStatus")), QStringLiteral("<kwp>standaard</kwp>"));
    EXPECT_EQ(sim.pendingSteps(), 0);
    sim.clearScript();
    EXPECT_EQ(call(QStringLiteral("SendStatus")), OstrelSim::acceptedReply(QStringLiteral("SendStatus")));
}

TEST_F(OstrelSimTest, RefusesCallsTheRealServerRefuses)
{
    QNetworkRequest request(sim.url());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/xml; charset=utf-8"));
    QNetworkReply *reply = send(request, "<x/>");
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 500);
    EXPECT_TRUE(reply->readAll().contains("<faultstring>no SOAPAction header!</faultstring>"));

    request.setRawHeader("SOAPAction", "\"\"");
    reply = send(request, "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>"
                          "<n:xmlRequest xmlns:n=\"urn:other\"><xml>x</xml></n:xmlRequest></e:Body></e:Envelope>");
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 500);
    EXPECT_TRUE(reply->readAll().contains("No such operation 'xmlRequest'"));
    EXPECT_EQ(sim.requestCount(), 2);
}

TEST_F(OstrelSimTest, ServesFilesAndRecordsEveryRequest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString record = dir.filePath(QStringLiteral("record.txt"));
    sim.setRecordFile(record);
    sim.serveFile(QStringLiteral("/liveupdate/VoranoOstrel/Updates.txt"), "[Update]\r\n", "text/plain");
    QFile file(dir.filePath(QStringLiteral("nieuw.exe")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("MZ");
    file.close();
    sim.serveFolder(QStringLiteral("/download"), dir.path());

    QNetworkReply *reply = send(QNetworkRequest(sim.baseUrl() + "/liveupdate/VoranoOstrel/Updates.txt"), {}, false);
    EXPECT_EQ(reply->readAll(), "[Update]\r\n");
    reply = send(QNetworkRequest(sim.baseUrl() + "/download/nieuw.exe"), {}, false);
    EXPECT_EQ(reply->readAll(), "MZ");
    reply = send(QNetworkRequest(sim.baseUrl() + "/download/../record.txt"), {}, false);
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    call(QStringLiteral("ConfirmTrips"));

    const QList<OstrelSim::Request> requests = sim.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests.at(0).method, "GET");
    EXPECT_EQ(requests.at(3).action, QStringLiteral("ConfirmTrips"));
    EXPECT_TRUE(sim.waitForRequests(4, 0));
    EXPECT_FALSE(sim.waitForRequests(5, 10));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_TRUE(text.contains("POST /_external/external.cfc action=ConfirmTrips"));
    EXPECT_TRUE(text.contains(kwpFor(QStringLiteral("ConfirmTrips")).toUtf8()));
}

TEST_F(OstrelSimTest, ReadsAScriptFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char *name, const QByteArray &content) {
        QFile file(QDir(dir.path()).filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    write("RetrieveTrips.xml", "<kwp>standaard</kwp>");
    write("RetrieveTrips.2.fault", "Tweede mislukt\n");
    write("RetrieveTrips.1.xml", "<kwp>eerste</kwp>");
    write("RetrieveTrips.3.http", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(sim.loadScriptFolder(dir.path()));
    EXPECT_EQ(call(QStringLiteral("RetrieveTrips")), QStringLiteral("<kwp>eerste</kwp>"));
    EXPECT_THROW(call(QStringLiteral("RetrieveTrips")), CFCInvocationException);
    try {
        call(QStringLiteral("RetrieveTrips"));
        FAIL();
    } catch (const TransportError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Not Found (404) - '%1'").arg(sim.url()));
    }
    EXPECT_EQ(call(QStringLiteral("RetrieveTrips")), QStringLiteral("<kwp>standaard</kwp>"));
    EXPECT_FALSE(sim.loadScriptFolder(dir.filePath(QStringLiteral("bestaat-niet"))));
}

TEST(OstrelSimLifecycle, StopsWhileACallHangsAndStartsAgain)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start());
    const quint16 port = sim.port();
    EXPECT_NE(port, 0);
    sim.queueHang(QString());
    ServiceProxyOptions options;
    options.noProgressTimeoutMs = 5000;
    std::unique_ptr<External_> stub = CreateServiceProxy(TestNetwork(), sim.url(), options);
    std::thread caller([&] { EXPECT_THROW(stub->xmlRequest(kwpFor(QStringLiteral("SendStatus"))), TransportError); });
    ASSERT_TRUE(sim.waitForRequests(1, 5000));
    sim.stop();
    caller.join();
    EXPECT_EQ(sim.port(), 0);
    ASSERT_TRUE(sim.start());
    EXPECT_NE(sim.port(), 0);
}

} // namespace
