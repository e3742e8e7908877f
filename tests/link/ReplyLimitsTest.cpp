#include "link/ReplyLimits.h"

#include "base/VoranoError.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/SoapTransport.h"

#include "OstrelSim.h"
#include "support/QtPrinters.h"
#include "support/TestNetwork.h"

#include <gtest/gtest.h>

namespace
{

// A reply a little over 16 MB: the trip list is read, every other action's reply is refused while it arrives, with
// the limit in its line.
TEST(ReplyLimits, OnlyATripListMayBeLargerThanSixteenMegabytes)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    const QString large =
        QStringLiteral("<kwp><status>200</status><t>") + QString(17 * 1024 * 1024, u'x') + QStringLiteral("</t></kwp>");
    const struct {
        const char *action;
        bool read;
    } cases[] = {
        {KwpAction::RetrieveTrips, true},        {KwpAction::ConfirmTrips, false},
        {KwpAction::SendStatus, false},          {KwpAction::RetrieveVehicleTypes, false},
        {KwpAction::RetrieveIndications, false}, {KwpAction::RetrieveAccessibilityEquipments, false},
        {KwpAction::RetrieveProducts, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        const QString action = QLatin1String(c.action);
        sim.setDefaultReply(action, large);
        const QString request =
            BuildRequest(KwpVersion(action), action, QStringLiteral("gebruiker"), QStringLiteral("wachtwoord"));
        QString reply;
        QString failure;
        try {
            reply = CreateServiceProxy(TestNetwork(), sim.url())->xmlRequest(request);
        } catch (const TransportError &e) {
            failure = e.message();
        }
        if (c.read) {
            EXPECT_EQ(reply.size(), large.size());
            EXPECT_EQ(failure, QString());
        } else {
            EXPECT_TRUE(failure.startsWith(QStringLiteral("Het antwoord is groter dan 16 MB; het lezen is gestopt")))
                << failure.toStdString();
        }
    }
}

} // namespace
