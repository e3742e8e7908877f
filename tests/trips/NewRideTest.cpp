#include "TripFixtures.h"
#include "base/WallDateTime.h"

#include "base/VoranoError.h"
#include "settings/MemoryControls.h"
#include "trips/NewRide.h"
#include "trips/RideText.h"

#include <gtest/gtest.h>

namespace
{

const QDateTime kNow(QDate(2015, 3, 31), QTime(7, 5, 9));

class NewRide : public ::testing::Test
{
  protected:
    NewRide()
    {
        controls.setText(Control::Eigenaar, QStringLiteral("ABC"));
        controls.setText(Control::xBedrijf, QStringLiteral("3"));
        controls.setText(Control::xDebiteur, QStringLiteral(" 42"));
        controls.setText(Control::xStandaardTarief, QStringLiteral("12abc"));
        controls.setText(Control::xSV, QStringLiteral("ZX"));
        controls.setChecked(Control::xRC, true);
        controls.setChecked(Control::SoortWagen, true);
        controls.setChecked(Control::chkExtern, true);
        controls.setLines(Control::BasicVehicleTypes, {QStringLiteral("5=Rolstoelbus")});
        controls.setLines(Control::BasicProducts, {QStringLiteral("p12=Kostenplaats Noord-Holland Zuid")});
    }
    RideRow build(const QString &tripElement, bool manual = false)
    {
        return BuildNewRide(TripFixtures::split(tripElement), controls, kNow, QStringLiteral("PKEY"), manual);
    }
    // The full trip with one element's content replaced ("" removes the content).
    static QString fullWith(const char *element, const QString &content)
    {
        QString trip = TripFixtures::read(QStringLiteral("full-trip.xml"));
        const QString open = QLatin1Char('<') + QLatin1String(element) + QLatin1Char('>');
        const QString close = QLatin1String("</") + QLatin1String(element) + QLatin1Char('>');
        const qsizetype a = trip.indexOf(open) + open.size();
        const qsizetype b = trip.indexOf(close, a);
        return trip.replace(a, b - a, content);
    }
    MemoryControls controls;
};

TEST_F(NewRide, FullTripFillsEveryColumnInItsWidth)
{
    const QString element = TripFixtures::read(QStringLiteral("full-trip.xml"));
    const RideRow row = build(element);
    const std::pair<const char *, QVariant> expected[] = {
        {"pla_eigenaar", QStringLiteral("ABC")},
        {"pla_zone_aantal", 3},
        {"pla_zones_extern", 3},
        {"pla_oph_syn", QStringLiteral("Thuis")},
        {"pla_bes_syn", QStringLiteral("Ziekenhuis  ingang B")},
        {"pla_bdr_id", 3},
        {"pla_tarief_bedrijf", 12},
        {"pla_spoed", 0},
        {"pla_rc", 1},
        {"pla_lopers", 2},
        {"pla_bedrag", 12.5},
        {"pla_bedrag_3", 12.5},
        {"pla_bedrag_5", 30.0},
        {"pla_km_sqr", 12.34},
        {"pla_km_map", 12.34},
        {"pla_rollers", 1},
        {"pla_rolstoel", 1},
        {"pla_soortwagen", QStringLiteral("R")},
        {"pla_reiziger", 42},
        {"pla_bestnummer", QStringLiteral("100")},
        {"pla_bestnummertoe", QStringLiteral("ABCDEF")},
        {"pla_bestpostcode", QStringLiteral("3584CX")},
        {"pla_beststad", QStringLiteral("Utrecht")},
        {"pla_besstraat", QStringLiteral("Ziekenhuislaan")},
        {"pla_datum", WallDateTime(QDate(2013, 5, 14), QTime(15, 30))},
        {"pla_tijdstip", WallDateTime(QDate(2013, 5, 14), QTime(15, 30))},
        {"pla_tijdstip_locatie", WallDateTime(QDate(2013, 5, 14), QTime(16, 15))},
        {"pla_ophnummer", QStringLiteral("12")},
        {"pla_ophnummertoe", QStringLiteral("bis")},
        {"pla_ophpostcode", QStringLiteral("3511AB")},
        {"pla_ophstad", QStringLiteral(" s-Hertogenbosch")},
        {"pla_ophstraat", QStringLiteral("Kerkstraat  hoek Markt")},
        {"pla_extern", 4711},
        {"pla_extern_ritnummer", 4711},
        {"pla_referentie", QStringLiteral("P12")},
        {"pla_extern_kostenplaats", QStringLiteral("Kostenplaats Noord-H")},
        {"pla_soortrit", QStringLiteral("S")},
        {"pla_soortvervoer", QStringLiteral("Z")},
        {"pla_status", QStringLiteral("W")},
        {"pla_naam_reiziger", QStringLiteral("O Brien Jan  Piet")},
        {"pla_telefoon", QStringLiteral("010-7654321")},
        {"pla_extern_locatie", QStringLiteral("WIT")},
        {"pla_temp", QStringLiteral("PKEY")},
        {"pla_cloud", 1},
        {"pla_bellen", 0},
        // Keyword rules on the ride text: "blind" in the comment, "Rollator" in the equipment.
        {"pla_blind", 1},
        {"pla_rollator", 1},
        {"pla_soho", 0},
        {"pla_bloktijd", 1},
    };
    for (const auto &[column, value] : expected) {
        EXPECT_EQ(row.value(QLatin1String(column)), value) << column;
    }
    const TripTexts t = TripFixtures::split(element);
    EXPECT_EQ(row.text(QStringLiteral("pla_tekst")), BuildRideText(t.trip, t.client, RideTextKind::NewTrip));
}

TEST_F(NewRide, ElementVariations)
{
    struct Case {
        const char *name;
        const char *element;
        QString content;
        const char *column;
        QVariant value; // invalid: the column is not written
    };
    const QString longName = QString(45, QLatin1Char('N'));
    const Case cases[] = {
        {"cents only from leading digits", "eb", QStringLiteral("12.50"), "pla_bedrag", 0.12},
        {"eb not a number", "eb", QStringLiteral("abc"), "pla_bedrag_3", 0.0},
        {"distance rounds to two decimals", "distance", QStringLiteral("12345"), "pla_km_sqr", 12.35},
        {"no wheelchair", "wheelchair", QStringLiteral("0"), "pla_rolstoel", 0},
        {"unknown vehicle type", "vehicletype", QStringLiteral("<id>9</id><name>x</name>"), "pla_soortwagen",
         QString()},
        {"unknown product", "productid", QStringLiteral("P99"), "pla_extern_kostenplaats", QVariant()},
        {"name cut to 40", "lastname", longName, "pla_naam_reiziger", longName.left(40)},
        {"only phone", "callbacknumber", QString(), "pla_telefoon", QStringLiteral("010-1234567")},
        {"non-Latin-1 city", "fromcity", QStringLiteral("Łódź"), "pla_ophstad", QStringLiteral("?ód?")},
        {"city longer than 50", "destinationcity", QString(60, QLatin1Char('c')), "pla_beststad",
         QString(50, QLatin1Char('c'))},
        {"trip without id", "id", QString(), "pla_extern", 0},
    };
    for (const Case &c : cases) {
        const RideRow row = build(fullWith(c.element, c.content));
        if (c.value.isValid())
            EXPECT_EQ(row.value(QLatin1String(c.column)), c.value) << c.name;
        else
            EXPECT_FALSE(row.contains(QLatin1String(c.column))) << c.name;
    }

    QString noPhones = fullWith("callbacknumber", QString());
    noPhones.replace(QStringLiteral("<phone>010-1234567</phone>"), QString());
    EXPECT_FALSE(build(noPhones).contains(QStringLiteral("pla_telefoon")));

    controls.setChecked(Control::SoortWagen, false);
    EXPECT_EQ(build(fullWith("id", QStringLiteral("1"))).text(QStringLiteral("pla_soortwagen")), QStringLiteral("T"));
}

TEST_F(NewRide, ConversionErrorsComeBeforeAnythingIsStored)
{
    struct Case {
        const char *name;
        Control setting;
        const char *settingText;
        const char *element;
        const char *content;
        const char *message;
    };
    const Case cases[] = {
        {"company", Control::xBedrijf, "1 ", nullptr, nullptr, "''1 '' is not a valid integer value"},
        {"debtor", Control::xDebiteur, "", nullptr, nullptr, "'''' is not a valid integer value"},
        {"impossible date", Control::xBedrijf, "1", "fromdatetime", "201302301200", "Invalid argument to date encode"},
        {"empty date", Control::xBedrijf, "1", "destinationdatetime", "", "Invalid argument to date encode"},
        {"minute 60", Control::xBedrijf, "1", "fromdatetime", "201305142460", "Invalid argument to time encode"},
        {"id of 12 digits", Control::xBedrijf, "1", "id", "123456789012",
         "'123456789012' is not a valid integer value for field 'pla_extern'"},
    };
    for (const Case &c : cases) {
        controls.setText(Control::xBedrijf, QStringLiteral("1"));
        controls.setText(Control::xDebiteur, QStringLiteral("0"));
        controls.setText(c.setting, QLatin1String(c.settingText));
        const QString element = c.element ? fullWith(c.element, QLatin1String(c.content))
                                          : TripFixtures::read(QStringLiteral("full-trip.xml"));
        try {
            build(element);
            ADD_FAILURE() << c.name;
        } catch (const ConversionError &e) {
            EXPECT_EQ(e.message(), QLatin1String(c.message)) << c.name;
        }
    }
}

TEST_F(NewRide, ManualNewTripWritesCallbackColumnAndShortText)
{
    const RideRow row = build(TripFixtures::read(QStringLiteral("full-trip.xml")), true);
    EXPECT_EQ(row.value(QStringLiteral("pla_bellen")).toInt(), 1);
    const QString text = row.text(QStringLiteral("pla_tekst"));
    EXPECT_TRUE(text.endsWith(QStringLiteral("Bellen=Warm terugbellen\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Commentaar: Hond mee   t is blind\r\nFeedback=bellen\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("VIA:")));
    EXPECT_FALSE(text.contains(QStringLiteral("Type rit")));
}

TEST_F(NewRide, HugeCommentAndNonLatinNamesStayWholeInTheRideText)
{
    const QString comment(5 * 1024 * 1024, QLatin1Char('x'));
    QString element = fullWith("tripexternalcomment", comment);
    element.replace(QStringLiteral("O'Brien"), QStringLiteral("Иванов"));
    const RideRow row = build(element);
    EXPECT_TRUE(row.text(QStringLiteral("pla_tekst")).contains(comment));
    EXPECT_TRUE(row.text(QStringLiteral("pla_tekst")).startsWith(QStringLiteral("Naam: Иванов Jan, Piet\r\n")));
    EXPECT_EQ(row.text(QStringLiteral("pla_naam_reiziger")), QStringLiteral("?????? Jan  Piet"));
}

} // namespace
