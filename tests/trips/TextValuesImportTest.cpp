// Values taken out of a reply are stored as the texts they stand for: entities, character references and CDATA
// decoded once, at the leaf, by the retrieval cycle and by manual processing alike.
#include "ImportHarness.h"
#include "TripFixtures.h"

#include <QFile>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

using namespace TripFixtures;

// 45 letters and six escaped ampersands: 51 characters as text, cut to the column's 50.
const QString kLongStreet = QString(45, u'x') + QStringLiteral("&amp;&amp;&amp;&amp;&amp;&amp;");

QString marked(const QString &id, const QString &action)
{
    return trip(id, action,
                QLatin1String(kDates) +
                    QStringLiteral("<fromstreet>A &lt;B&gt; straat</fromstreet>"
                                   "<destinationstreet>") +
                    kLongStreet +
                    QStringLiteral("</destinationstreet>"
                                   "<tripexternalcomment>O&apos;Brien, &#233;&#233;n &amp; ander</tripexternalcomment>"
                                   "<vehicletype><id>A&amp;1</id><name>Rolstoel &amp; bus</name></vehicletype>"
                                   "<productid>P&amp;2</productid>"
                                   "<extrafields><extrafield><id>9</id><name>Code</name>"
                                   "<value><![CDATA[<geheim> & snel]]></value></extrafield></extrafields>"),
                QStringLiteral("<lastname>Van &amp; Co</lastname><firstname>J&#xE9;r&#xF4;me</firstname>"
                               "<comment><![CDATA[Bellen bij <aankomst> & wachten in Łódź]]></comment>"
                               "<phone>06&#45;1234</phone>"));
}

const QString kRideText = QStringLiteral("Naam: Van & Co Jérôme\r\n"
                                         "GSM: \r\n"
                                         "Opmerking: Bellen bij <aankomst> & wachten in Łódź\r\n"
                                         "Identificatie: \r\n"
                                         "Wagensoort: Rolstoel & bus\r\n"
                                         "Commentaar: O Brien  één & ander\r\n"
                                         "9=Code - <geheim> & snel\r\n");

class TextValuesImport : public ::testing::Test
{
  protected:
    TextValuesImport()
    {
        h.controls.setChecked(Control::SoortWagen, true);
        h.controls.setChecked(Control::chkExtern, true);
        h.controls.setLines(Control::BasicVehicleTypes, {QStringLiteral("a&1=Rolstoelbus")});
        h.controls.setLines(Control::BasicProducts, {QStringLiteral("P&2=Zuid & West")});
    }

    void expectStoredAsMeant(int rideId, const char *how)
    {
        const QVariantMap r = h.ride(rideId);
        EXPECT_EQ(r.value(QStringLiteral("pla_ophstraat")).toString(), QStringLiteral("A <B> straat")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_besstraat")).toString(), QString(45, u'x') + QString(5, u'&')) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_naam_reiziger")).toString(), QStringLiteral("Van & Co Jérôme")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_telefoon")).toString(), QStringLiteral("06-1234")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_soortwagen")).toString(), QStringLiteral("R")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_referentie")).toString(), QStringLiteral("P&2")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_extern_kostenplaats")).toString(), QStringLiteral("Zuid & West")) << how;
        EXPECT_EQ(r.value(QStringLiteral("pla_tekst")).toString(), kRideText) << how;
    }

    ImportHarness h;
};

TEST_F(TextValuesImport, RetrievalCycleAndManualProcessingStoreTheSameTexts)
{
    h.service.reply(reply(marked(QStringLiteral("7001"), QStringLiteral("INSERT"))));
    h.cycle();
    ASSERT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    ASSERT_EQ(h.rideIds().size(), 1);
    expectStoredAsMeant(h.rideIds().at(0), "retrieval cycle");

    const QString path = h.dir.path() + QStringLiteral("/saved.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reply(marked(QStringLiteral("7002"), QStringLiteral("INSERT"))).toUtf8());
    file.close();
    h.manual(path);
    ASSERT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    ASSERT_EQ(h.rideIds().size(), 2);
    expectStoredAsMeant(h.rideIds().at(1), "manual processing");
}

TEST_F(TextValuesImport, AChangeStoresTheTextsAndTheConfirmationCarriesTheIdAsWritten)
{
    h.service.reply(reply(trip(QStringLiteral("0007003"), QStringLiteral("INSERT"), QLatin1String(kDates))));
    h.cycle();
    h.service.reply(reply(marked(QStringLiteral("0007003"), QStringLiteral("UPDATE"))));
    h.cycle();
    ASSERT_TRUE(h.log.isEmpty()) << qPrintable(h.log.join(u'\n'));
    ASSERT_EQ(h.rideIds().size(), 1);
    const QVariantMap r = h.ride(h.rideIds().at(0));
    EXPECT_EQ(r.value(QStringLiteral("pla_extern")).toInt(), 7003);
    EXPECT_EQ(r.value(QStringLiteral("pla_ophstraat")).toString(), QStringLiteral("A <B> straat"));
    EXPECT_EQ(r.value(QStringLiteral("pla_opmerking")).toString(), QStringLiteral("O Brien  één & ander"));
    EXPECT_EQ(r.value(QStringLiteral("pla_tekst")).toString(), kRideText);
    const auto confirmations = h.confirmations();
    ASSERT_EQ(confirmations.size(), 2);
    for (const auto &c : confirmations)
        EXPECT_EQ(c.first, QStringLiteral("0007003"));
}

} // namespace
