#include "feedback/StatusDocument.h"

#include <gtest/gtest.h>

namespace
{

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// A ride with every date-time column on its own minute, so each column can be told apart in a document.
EventRow ride()
{
    EventRow r;
    r.kop_id = 12;
    r.pla_extern = 987654;
    r.pla_id = 4711;
    r.kop_datumtijd = at(2015, 3, 31, 7, 5, 9);
    r.pla_tijdstip_bestemmen = at(2015, 3, 31, 8, 1, 0);
    r.pla_tijdstip_vrijmelden = at(2015, 3, 31, 8, 2, 0);
    r.pla_tijdstip_toewijzen = at(2015, 3, 31, 8, 3, 0);
    r.pla_eta = at(2015, 3, 31, 8, 4, 0);
    r.pla_eta_klok = at(2015, 3, 31, 8, 5, 0);
    r.pla_etd = at(2015, 3, 31, 8, 6, 0);
    r.pla_etd_klok = at(2015, 3, 31, 8, 7, 0);
    r.kop_latitude = u"52.370216"_qs;
    r.kop_longitude = u"4.895168"_qs;
    return r;
}

const QString kFrameStart =
    u"<kwp version=\"2.3\"><header><username>taxi</username><password>geheim</password></header>"
    "<body><action><name>SendStatus</name><triplist><trip><id>987654</id><externalID>4711</externalID>"_qs;
const QString kFrameEnd = u"</trip></triplist></action></body></kwp>"_qs;

struct StatusCase {
    qint64 type;
    const char *datetime;
    const char *latitude;
    const char *longitude;
    const char *param1;
};

void PrintTo(const StatusCase &c, std::ostream *os)
{
    *os << "kop_type " << c.type;
}

class SendStatusDocumentTest : public ::testing::TestWithParam<StatusCase>
{
};

TEST_P(SendStatusDocumentTest, PicksTheColumnsOfTheType)
{
    const StatusCase &c = GetParam();
    EventRow r = ride();
    r.kop_type = c.type;
    const QString expected =
        kFrameStart + u"<datetime>"_qs + QString::fromLatin1(c.datetime) + u"</datetime><messagetype>"_qs +
        QString::number(c.type) + u"</messagetype><latitude>"_qs + QString::fromLatin1(c.latitude) +
        u"</latitude><longitude>"_qs + QString::fromLatin1(c.longitude) +
        u"</longitude><speed></speed><direction></direction><param1>"_qs + QString::fromLatin1(c.param1) +
        u"</param1><param2></param2><param3></param3><odometer></odometer><info></info>"_qs + kFrameEnd;
    EXPECT_EQ(BuildStatusDocument(r, u"taxi"_qs, u"geheim"_qs), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryType, SendStatusDocumentTest,
                         ::testing::Values(StatusCase{1, "20150331070509", "0.0", "0.0", ""},
                                           StatusCase{2, "20150331070509", "52,37022", "4,89517", ""},
                                           StatusCase{3, "20150331080100", "52,37022", "4,89517", ""},
                                           StatusCase{4, "20150331080200", "52,37022", "4,89517", ""},
                                           StatusCase{5, "20150331080100", "52,37022", "4,89517", ""},
                                           StatusCase{6, "20150331080300", "52,37022", "4,89517", ""},
                                           StatusCase{7, "20150331080100", "52,37022", "4,89517", ""},
                                           StatusCase{8, "20150331080500", "52,37022", "4,89517", "20150331080400"},
                                           StatusCase{9, "20150331080700", "52,37022", "4,89517", "20150331080600"},
                                           StatusCase{10, "20150331070509", "0.0", "0.0", ""},
                                           StatusCase{-1, "20150331070509", "0.0", "0.0", ""}));

TEST(SendStatusDocument, MissingValuesGiveTheZeroDateAndZeroPosition)
{
    EventRow r; // every column NULL
    r.kop_type = 8;
    const QString doc = BuildStatusDocument(r, QString(), QString());
    EXPECT_TRUE(doc.startsWith(u"<kwp version=\"2.3\"><header><username></username><password></password></header>"_qs));
    EXPECT_TRUE(doc.contains(u"<id>0</id><externalID>0</externalID><datetime>18991230000000</datetime><messagetype>8"
                             "</messagetype><latitude>0,00000</latitude><longitude>0,00000</longitude>"_qs));
    EXPECT_TRUE(doc.contains(u"<param1>18991230000000</param1>"_qs));
}

TEST(ProcessTripsDocument, IsTheFinalReportToTheByte)
{
    EventRow r = ride();
    r.kop_type = 0;
    r.pla_lopers = 2;
    r.pla_rollers = 1;
    r.pla_status = u"L"_qs;
    r.pla_redenloosmelden = u"Klant niet thuis & <weg>"_qs;
    r.pla_odo_start = u"12345.67"_qs;
    r.pla_odo_stop = u"12400.5"_qs;
    r.pla_route = 33;
    r.pla_van = 5;
    r.wag_kenteken = u"12-ABC-3"_qs;
    r.wag_taxis = 17;
    EXPECT_EQ(BuildStatusDocument(r, u"taxi"_qs, u"geheim"_qs),
              u"<kwp version=\"1.2\"><header><username>taxi</username><password>geheim</password></header>"
              "<body><action><name>processTrips</name><triplist><trip><id>987654</id><externalID>4711</externalID>"
              "<realFromDateTime>20150331080100</realFromDateTime>"
              "<realDestinationDateTime>20150331080200</realDestinationDateTime>"
              "<realArrivalAtFromDateTime>20150331080100</realArrivalAtFromDateTime>"
              "<realPassengers>3</realPassengers><noShow>1</noShow>"
              "<noShowComment>Klant niet thuis &amp; &lt;weg&gt;</noShowComment>"
              "<odoMeterStart>12345670</odoMeterStart><odoMeterEnd>12400500</odoMeterEnd>"
              "<realcombinationid>33</realcombinationid><combined>1</combined>"
              "<licenseplatenumber>12-ABC-3</licenseplatenumber><vehiclenumber>17</vehiclenumber>"
              "</trip></triplist></action></body></kwp>"_qs);
}

TEST(ProcessTripsDocument, MissingValues)
{
    EventRow r;
    const QString doc = BuildStatusDocument(r, QString(), QString());
    EXPECT_TRUE(doc.contains(u"<trip><id>0</id><externalID>0</externalID><realFromDateTime>18991230000000"
                             "</realFromDateTime><realDestinationDateTime>18991230000000</realDestinationDateTime>"
                             "<realArrivalAtFromDateTime>18991230000000</realArrivalAtFromDateTime>"
                             "<realPassengers>0</realPassengers><noShow>0</noShow><noShowComment></noShowComment>"
                             "<odoMeterStart>0</odoMeterStart><odoMeterEnd>0</odoMeterEnd><realcombinationid>0"
                             "</realcombinationid><combined>0</combined><licenseplatenumber></licenseplatenumber>"
                             "<vehiclenumber>0</vehiclenumber></trip>"_qs))
        << qPrintable(doc);
}

struct NoShowCase {
    const char *status;
    qint64 van;
    const char *noShow;
    const char *combined;
};

void PrintTo(const NoShowCase &c, std::ostream *os)
{
    *os << "status '" << c.status << "' van " << c.van;
}

class NoShowTest : public ::testing::TestWithParam<NoShowCase>
{
};

TEST_P(NoShowTest, OnlyUpperCaseLIsANoShowAndOnlyPositiveVanIsCombined)
{
    EventRow r = ride();
    r.pla_status = QString::fromLatin1(GetParam().status);
    r.pla_van = GetParam().van;
    r.pla_redenloosmelden = u"Reden"_qs;
    const QString doc = BuildStatusDocument(r, QString(), QString());
    EXPECT_TRUE(doc.contains(u"<noShow>"_qs + QString::fromLatin1(GetParam().noShow) +
                             u"</noShow><noShowComment>Reden</noShowComment>"_qs));
    EXPECT_TRUE(doc.contains(u"<combined>"_qs + QString::fromLatin1(GetParam().combined) + u"</combined>"_qs));
}

INSTANTIATE_TEST_SUITE_P(Cases, NoShowTest,
                         ::testing::Values(NoShowCase{"L", 0, "1", "0"}, NoShowCase{"l", 1, "0", "1"},
                                           NoShowCase{"W", -4, "0", "0"}, NoShowCase{"", 99, "0", "1"},
                                           NoShowCase{"L ", 0, "0", "0"}));

struct DecimalCase {
    const char *in;
    const char *out;
};

void PrintTo(const DecimalCase &c, std::ostream *os)
{
    *os << "'" << c.in << "'";
}

class CoordinateTest : public ::testing::TestWithParam<DecimalCase>
{
};

TEST_P(CoordinateTest, FiveDecimalsWithADecimalComma)
{
    EXPECT_EQ(FormatCoordinate(QString::fromLatin1(GetParam().in)), QString::fromLatin1(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(Cases, CoordinateTest,
                         ::testing::Values(DecimalCase{"52.370216", "52,37022"}, DecimalCase{"-4.9", "-4,90000"},
                                           DecimalCase{"4.895168", "4,89517"}, DecimalCase{"4.895165", "4,89517"},
                                           DecimalCase{"-4.895165", "-4,89517"}, DecimalCase{"4.895164", "4,89516"},
                                           DecimalCase{"9.999995", "10,00000"}, DecimalCase{"0", "0,00000"},
                                           DecimalCase{"-0.000001", "0,00000"}, DecimalCase{".5", "0,50000"},
                                           DecimalCase{"52,370216", "52,37022"}, DecimalCase{"", "0,00000"},
                                           DecimalCase{"abc", "0,00000"}, DecimalCase{"0.00001", "0,00001"}));

class OdometerTest : public ::testing::TestWithParam<DecimalCase>
{
};

TEST_P(OdometerTest, TimesAThousandTruncated)
{
    EXPECT_EQ(FormatOdometer(QString::fromLatin1(GetParam().in)), QString::fromLatin1(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(Cases, OdometerTest,
                         ::testing::Values(DecimalCase{"12345.67", "12345670"}, DecimalCase{"1.13", "1130"},
                                           DecimalCase{"0.29", "290"}, DecimalCase{"12.3456", "12345"},
                                           DecimalCase{"-1.2349", "-1234"}, DecimalCase{"7", "7000"},
                                           DecimalCase{"0.0001", "0"}, DecimalCase{"", "0"},
                                           DecimalCase{"9999999999999999.99", "9999999999999999990"}));

TEST(StatusDateTime, PatternAndZeroDate)
{
    EXPECT_EQ(FormatStatusDateTime(at(2015, 3, 31, 7, 5, 9)), u"20150331070509"_qs);
    EXPECT_EQ(FormatStatusDateTime(at(2015, 12, 1, 23, 0, 0)), u"20151201230000"_qs);
    EXPECT_EQ(FormatStatusDateTime(QDateTime()), u"18991230000000"_qs);
}

} // namespace
