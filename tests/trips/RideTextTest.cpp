#include "TripFixtures.h"

#include "trips/RideText.h"

#include <gtest/gtest.h>

namespace {

QString lines(std::initializer_list<const char *> l)
{
    QString out;
    for (const char *s : l)
        out += QString::fromUtf8(s) + QLatin1String("\r\n");
    return out;
}

struct TextCase {
    const char *name;
    RideTextKind kind;
    QString expected;
};

class RideTextKinds : public ::testing::TestWithParam<TextCase> {};

TEST_P(RideTextKinds, FullTripGivesTheLinesOfItsKind)
{
    const TripTexts t = TripFixtures::split(TripFixtures::read(QStringLiteral("full-trip.xml")));
    EXPECT_EQ(BuildRideText(t.trip, t.client, GetParam().kind).toStdString(), GetParam().expected.toStdString());
}

const char *const kHead[] = {"Naam: O'Brien Jan, Piet", "GSM: 0612345678",         "Opmerking: Belt aan, wacht",
                             "Identificatie: C-77",     "Wagensoort: Rolstoelbus", "Commentaar: Hond mee   t is blind"};

QString head()
{
    QString out;
    for (const char *s : kHead)
        out += QLatin1String(s) + QLatin1String("\r\n");
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RideTextKinds,
    ::testing::Values(TextCase{"NewTrip", RideTextKind::NewTrip,
                               head() + lines({"Type rit: overstap", "Geboekt op: vertrek", "VIA:Station",
                                               "Stationsplein 1 a", "1234AB Utrecht NL", "volgorde: 1", "VIA:Markt",
                                               "Markt 2 ", "2345BC Gouda NL", "volgorde: 2", "R=Rollator aantal: 1",
                                               "I1=Begeleider", "c1=Pas - ja", "t1=Kenmerk - X"})},
                      TextCase{"ChangedTrip", RideTextKind::ChangedTrip,
                               head() + lines({"Type rit: overstap", "Geboekt op: vertrek", "VIA:Station",
                                               "Stationsplein 1 a", "1234AB Utrecht NL", "volgorde: 1", "VIA:Markt",
                                               "Markt 2 ", "2345BC Gouda NL", "volgorde: 2", "R=Rollator",
                                               "I1=Begeleider", "c1=Pas - ja", "t1=Kenmerk - X"})},
                      TextCase{"ManualNewTrip", RideTextKind::ManualNewTrip,
                               head() + lines({"Feedback=bellen", "R=Rollator", "I1=Begeleider", "c1=Pas - ja",
                                               "t1=Kenmerk - X", "Bellen=Warm terugbellen"})},
                      TextCase{"ManualChangedTrip", RideTextKind::ManualChangedTrip,
                               head() + lines({"R=Rollator", "I1=Begeleider", "t1=Kenmerk - X"})}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RideText, EmptyTripStillHasTheSixFixedLines)
{
    EXPECT_EQ(BuildRideText(QString(), QString(), RideTextKind::NewTrip),
              lines({"Naam:  ", "GSM: ", "Opmerking: ", "Identificatie: ", "Wagensoort: ", "Commentaar: "}));
}

struct CodeCase {
    const char *element;
    const char *value;
    const char *line; // nullptr: no line
};

TEST(RideText, TripTypeAndTimeAnchorLinesOnlyForExactCodes)
{
    const CodeCase cases[] = {
        {"triptypeid", "1", "Type rit: taxi"},
        {"triptypeid", "3", "Type rit: trein"},
        {"triptypeid", "4", "Type rit: instap"},
        {"triptypeid", "5", "Type rit: uitstap"},
        {"triptypeid", "6", nullptr},
        {"triptypeid", " 1", nullptr},
        {"triptypeid", "01", nullptr},
        {"timeanchor", "0", "Geboekt op: onbekend,"},
        {"timeanchor", "2", "Geboekt op: bestemming"},
        {"timeanchor", "3", nullptr},
    };
    const QString fixed = lines({"Naam:  ", "GSM: ", "Opmerking: ", "Identificatie: ", "Wagensoort: ", "Commentaar: "});
    for (const CodeCase &c : cases) {
        const QString trip =
            QStringLiteral("<trip><%1>%2</%1></trip>").arg(QLatin1String(c.element), QLatin1String(c.value));
        const QString expected = fixed + (c.line ? QLatin1String(c.line) + QLatin1String("\r\n") : QString());
        EXPECT_EQ(BuildRideText(trip, QString(), RideTextKind::NewTrip), expected) << c.element << "=" << c.value;
    }
}

TEST(RideText, ManualFeedbackAndCallbackLines)
{
    struct Case {
        const char *feedback;
        const char *callback;
        const char *feedbackLine; // after line 6
        const char *callbackLine; // at the end
    };
    const Case cases[] = {
        {"2", "1", "Feedback=SMS", "Bellen=Koud terugbellen"},
        {"1", "2", "Feedback=bellen", "Bellen=Warm terugbellen"},
        {"3", "3", nullptr, nullptr},
        {"", "", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        const QString trip = QStringLiteral("<trip><clienttripfeedbacktype>%1</clienttripfeedbacktype>"
                                            "<callback>%2</callback><extrafields><extrafield><id>t</id><name>n</name>"
                                            "<value>v</value></extrafield></extrafields></trip>")
                                 .arg(QLatin1String(c.feedback), QLatin1String(c.callback));
        QString expected =
            lines({"Naam:  ", "GSM: ", "Opmerking: ", "Identificatie: ", "Wagensoort: ", "Commentaar: "});
        if (c.feedbackLine)
            expected += QLatin1String(c.feedbackLine) + QLatin1String("\r\n");
        expected += QLatin1String("t=n - v\r\n");
        if (c.callbackLine)
            expected += QLatin1String(c.callbackLine) + QLatin1String("\r\n");
        EXPECT_EQ(BuildRideText(trip, QString(), RideTextKind::ManualNewTrip), expected) << c.feedback << c.callback;
        EXPECT_EQ(CallbackWanted(trip), c.callbackLine != nullptr);
    }
}

} // namespace
