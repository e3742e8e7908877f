#include "ImportHarness.h"
#include "TripFixtures.h"

#include "base/VoranoError.h"

#include <QFile>

#include <gtest/gtest.h>

namespace
{

using TripFixtures::reply;
using TripFixtures::trip;

class ManualProcessing : public ::testing::Test, public ImportHarness
{
  protected:
    QString file(const QByteArray &content)
    {
        const QString path =
            dir.path() + QStringLiteral("/reply") + QString::number(++m_files) + QStringLiteral(".xml");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }
    int m_files = 0;
};

TEST_F(ManualProcessing, NewChangedAndCancelledTripsFromAFile)
{
    // A ride for the change and one for the cancellation.
    service.reply(reply(trip(QStringLiteral("2"), QStringLiteral("INSERT"), QLatin1String(TripFixtures::kDates)) +
                        trip(QStringLiteral("3"), QStringLiteral("INSERT"), QLatin1String(TripFixtures::kDates))));
    cycle();
    const QList<int> existing = rideIds();
    ASSERT_EQ(existing.size(), 2);
    const qsizetype callsBefore = service.calls().size();

    const QString newTrip = TripFixtures::read(QStringLiteral("full-trip.xml"));
    const QString changed =
        trip(QStringLiteral("2"), QStringLiteral("UPDATE"),
             QStringLiteral("<callback>1</callback><clienttripfeedbacktype>2</clienttripfeedbacktype>"
                            "<combination>1</combination><triptypeid>1</triptypeid>"),
             QStringLiteral("<lastname>Smit</lastname><combination>0</combination>"
                            "<extrafields><extrafield><id>k</id><name>n</name><value>v</value>"
                            "</extrafield></extrafields>"));
    const QString cancelled = trip(QStringLiteral("3"), QStringLiteral("DELETE"));
    const QByteArray content = ("<kwp>\r\n\t<status>200</status>\r\n\t<name>RetrieveTrips</name>\r\n\t<triplist>" +
                                newTrip + changed + cancelled + "</triplist>\r\n</kwp>")
                                   .toUtf8();
    manual(file(content));

    ASSERT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
    const QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 3);
    const QVariantMap added = ride(ids[2]);
    EXPECT_EQ(added.value(QStringLiteral("pla_bellen")).toInt(), 1);
    const QString text = added.value(QStringLiteral("pla_tekst")).toString();
    EXPECT_TRUE(
        text.contains(QStringLiteral("Commentaar: Hond mee   t is blind\r\nFeedback=bellen\r\nR=Rollator\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("Bellen=Warm terugbellen\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("VIA:")));

    const QVariantMap change = ride(existing[0]);
    EXPECT_EQ(change.value(QStringLiteral("pla_bellen")).toInt(), 1);
    EXPECT_EQ(change.value(QStringLiteral("pla_combineren")).toInt(), 1); // from the trip's own combination
    EXPECT_EQ(
        change.value(QStringLiteral("pla_tekst")).toString(),
        QStringLiteral("Naam: Smit \r\nGSM: \r\nOpmerking: \r\nIdentificatie: \r\nWagensoort: \r\nCommentaar: \r\n"));
    EXPECT_EQ(ride(existing[1]).value(QStringLiteral("pla_opmerking")).toString(),
              QStringLiteral("(VERWIJDERD 31-03 07:05)"));

    // Confirmations for the change and the cancellation only; no trip copies.
    const QList<QPair<QString, QString>> sent = confirmations().mid(2);
    EXPECT_EQ(sent, (QList<QPair<QString, QString>>{{QStringLiteral("2"), QString::number(existing[0])},
                                                    {QStringLiteral("3"), QString::number(existing[1])}}));
    EXPECT_EQ(service.calls().size(), callsBefore + 2);
    QStringList copies = dir.files(QStringLiteral("Ostrel/Backups/In"));
    EXPECT_TRUE(copies.contains(QStringLiteral("RetrieveTrips.xml")));
    EXPECT_EQ(copies.filter(QStringLiteral("_UPD_")).size() + copies.filter(QStringLiteral("_DEL_")).size(), 0);
    EXPECT_EQ(dir.read(QStringLiteral("Ostrel/Backups/In/RetrieveTrips.xml")), resultList.text().toLatin1());
    EXPECT_FALSE(resultList.text().contains(QLatin1Char('\t')));
    EXPECT_EQ(controls.text(Control::yStatus), QStringLiteral("200"));

    // The same file again: the new trip keeps its ride; the change and cancellation are applied again.
    manual(file(content));
    EXPECT_EQ(rideIds().size(), 3);
    EXPECT_EQ(confirmations().size(), 6);
}

TEST_F(ManualProcessing, CancelledDialogAndUnusableFiles)
{
    import.runManualProcessing(ctx(), [] { return QString();
});
EXPECT_TRUE(service.calls().empty());
EXPECT_TRUE(resultList.isEmpty());

EXPECT_THROW(manual(dir.path() + QStringLiteral("/missing.xml")), FileError);
EXPECT_THROW(manual(file(QByteArray())), FileError);
EXPECT_THROW(manual(file(QByteArray("<kwp>\0</kwp>", 12))), FileError);
EXPECT_TRUE(resultList.isEmpty());
EXPECT_TRUE(dir.files(QStringLiteral("Ostrel/Backups/In")).isEmpty());
EXPECT_TRUE(rideIds().isEmpty());
} // namespace

TEST_F(ManualProcessing, CopyIsKeptEvenWhenTripsAreNotProcessed)
{
    controls.setChecked(Control::xVerwerken, false);
    // Latin-1 bytes that are not UTF-8 are read as the single-byte text the copies are written in.
    const QByteArray content = "<kwp><status>200</status><name>RetrieveTrips</name><triplist>"
                               "<trip><id>1</id><tripaction>INSERT</tripaction><client><lastname>M\xfcller</lastname>"
                               "</client></trip></triplist></kwp>";
    manual(file(content));
    EXPECT_EQ(dir.read(QStringLiteral("Ostrel/Backups/In/RetrieveTrips.xml")), content + "\r\n");
    EXPECT_TRUE(rideIds().isEmpty());

    // A refused file leaves no copy behind it.
    manual(file("<kwp><status>500</status><name>RetrieveTrips</name></kwp>"));
    EXPECT_EQ(dir.read(QStringLiteral("Ostrel/Backups/In/RetrieveTrips.xml")), content + "\r\n");
}

} // namespace
