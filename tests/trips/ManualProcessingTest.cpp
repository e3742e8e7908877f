#include "ImportHarness.h"
#include "TripFixtures.h"

#include "base/VoranoError.h"
#include "base/Windows1252.h"

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
    QStringList copies = dir.copies(QStringLiteral("Ostrel/Backups/In"));
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
    tripImport.runManualProcessing(ctx(), [] { return QString();
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

namespace
{

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xFF);
        const char high = char(c.unicode() >> 8);
        out += littleEndian ? QByteArray{&low, 1} + QByteArray{&high, 1} : QByteArray{&high, 1} + QByteArray{&low, 1};
    }
    return out;
}

// A ride without what differs per stored row.
QVariantMap comparable(QVariantMap ride)
{
    ride.remove(QStringLiteral("pla_id"));
    ride.remove(QStringLiteral("pla_temp"));
    return ride;
}

} // namespace

// The same reply saved in each of the usual encodings gives the same rides, and so does the copy that manual
// processing keeps of it: characters of the code page (euro sign, dashes, curly quotes) come back as they were;
// one outside it ("Ł") travels in the single-byte files as a character reference and is stored as "Ł" again.
TEST_F(ManualProcessing, EveryEncodingAndTheCopyGiveTheSameRides)
{
    controls.setChecked(Control::xBevestigen, false);
    const QString inCodePage = QStringLiteral("<lastname>“Van Dijk” – ‘é’</lastname><firstname>€ 5—Š</firstname>");
    const QString outside = QStringLiteral("<lastname>Łukasiewicz</lastname><firstname>Ωmega</firstname>");
    const QString text =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") +
        reply(trip(QStringLiteral("1"), QStringLiteral("INSERT"), QLatin1String(TripFixtures::kDates), inCodePage) +
              trip(QStringLiteral("2"), QStringLiteral("INSERT"), QLatin1String(TripFixtures::kDates), outside)) +
        QStringLiteral("\r\n");

    manual(file(text.toUtf8()));
    ASSERT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
    QList<int> ids = rideIds();
    ASSERT_EQ(ids.size(), 2);
    const QVariantMap first = comparable(ride(ids[0]));
    const QVariantMap second = comparable(ride(ids[1]));
    EXPECT_TRUE(
        first.value(QStringLiteral("pla_tekst")).toString().startsWith(QStringLiteral("Naam: “Van Dijk” – ‘é’")));
    EXPECT_TRUE(second.value(QStringLiteral("pla_tekst")).toString().startsWith(QStringLiteral("Naam: Łukasiewicz")));
    const QByteArray copy = dir.read(QStringLiteral("Ostrel/Backups/In/RetrieveTrips.xml"));

    QString windows1252 = text;
    windows1252.replace(QLatin1String("UTF-8"), QLatin1String("windows-1252"));
    const struct {
        const char *what;
        QByteArray bytes;
        bool holdsEveryCharacter; // false: "Ł" and "Ω" are character references
    } sources[] = {
        {"UTF-8 with byte order mark", "\xEF\xBB\xBF" + text.toUtf8(), true},
        {"UTF-16 little endian", utf16(text, true), true},
        {"UTF-16 big endian", utf16(text, false), true},
        {"Windows-1252", EncodeWindows1252Xml(windows1252), false},
        {"the copy", copy, false},
    };
    for (const auto &source : sources) {
        // Each source stores its rides afresh: a trip whose ride is already stored would not get a second one.
        db.exec(QStringLiteral("DELETE FROM Planning")).finish();
        manual(file(source.bytes));
        ASSERT_TRUE(log.isEmpty()) << source.what << log.join(QLatin1Char('|')).toStdString();
        ids = rideIds();
        ASSERT_EQ(ids.size(), 2) << source.what;
        EXPECT_EQ(comparable(ride(ids[0])), first) << source.what;
        EXPECT_EQ(comparable(ride(ids[1])), second) << source.what;
        if (!source.holdsEveryCharacter) {
            EXPECT_TRUE(resultList.text().contains(QStringLiteral("<lastname>&#321;ukasiewicz</lastname>"
                                                                  "<firstname>&#937;mega</firstname>")))
                << source.what;
        }
    }
    // The copy of the copy is the copy: nothing is lost or changed by going round again.
    EXPECT_EQ(dir.read(QStringLiteral("Ostrel/Backups/In/RetrieveTrips.xml")), copy);
    EXPECT_TRUE(copy.startsWith("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n")) << copy.constData();
}

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
