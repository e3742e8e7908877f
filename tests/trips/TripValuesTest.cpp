#include "trips/TripValues.h"
#include "base/VoranoError.h"
#include "settings/MemoryControls.h"
#include "trips/SingleByteText.h"

#include <gtest/gtest.h>

namespace
{

TEST(TripValues, StrictIntAcceptsWholeNumbersOnly)
{
    struct Case {
        const char *text;
        bool ok;
        qint32 value;
    };
    const Case cases[] = {
        {"12", true, 12},         {"  -7", true, -7},  {"+3", true, 3},
        {"$1F", true, 31},        {"0x10", true, 16},  {"2147483647", true, 2147483647},
        {"2147483648", false, 0}, {"12abc", false, 0}, {"1.5", false, 0},
        {"", false, 0},           {" ", false, 0},     {"12 ", false, 0},
        {"-", false, 0},          {"abc", false, 0},
    };
    for (const Case &c : cases) {
        qint32 v = -99;
        EXPECT_EQ(StrictInt(QString::fromLatin1(c.text), v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(TripValues, SettingAndFieldConversionMessages)
{
    MemoryControls controls;
    controls.setText(Control::xBedrijf, QStringLiteral("1a"));
    try {
        SettingInt(controls, Control::xBedrijf);
        FAIL();
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("''1a'' is not a valid integer value"));
    }
    try {
        FieldInt(QStringLiteral("drie"), QStringLiteral("pla_lopers"));
        FAIL();
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'drie' is not a valid integer value for field 'pla_lopers'"));
    }
}

TEST(TripValues, TripNumberRefusesNumbersBeyondThirtyTwoBits)
{
    EXPECT_EQ(TripNumber(QStringLiteral("0012")), 12);
    EXPECT_EQ(TripNumber(QString()), 0);
    EXPECT_EQ(TripNumber(QStringLiteral("12abc")), 12);
    EXPECT_THROW(TripNumber(QStringLiteral("123456789012")), ConversionError);
}

TEST(TripValues, MarksAndVehicleLetter)
{
    EXPECT_EQ(WheelchairMark(QStringLiteral("1")), QStringLiteral("T"));
    EXPECT_EQ(WheelchairMark(QStringLiteral("0")), QStringLiteral("F"));
    EXPECT_EQ(CombineMark(QStringLiteral("abc")), QStringLiteral("F"));
    MemoryControls controls;
    controls.setLines(Control::BasicVehicleTypes,
                      {QStringLiteral("5=Rolstoelbus"), QStringLiteral("6="), QStringLiteral("ab=Taxi")});
    EXPECT_EQ(VehicleLetter(controls, QStringLiteral("<vehicletype><id>5</id><name>x</name></vehicletype>")),
              QStringLiteral("R"));
    EXPECT_EQ(VehicleLetter(controls, QStringLiteral("<vehicletype><id>6</id></vehicletype>")), QString());
    EXPECT_EQ(VehicleLetter(controls, QStringLiteral("<vehicletype><id>7</id></vehicletype>")), QString());
    EXPECT_EQ(VehicleLetter(controls, QStringLiteral("<vehicletype><id>AB</id></vehicletype>")), QStringLiteral("T"));
}

TEST(TripValues, SingleByteTextMarksWhatTheCodePageCannotHold)
{
    EXPECT_EQ(ToSingleByteText(QStringLiteral("Café €5 – ok")), QStringLiteral("Café €5 – ok"));
    EXPECT_EQ(ToSingleByteText(QStringLiteral("Łódź")), QStringLiteral("?ód?"));
    EXPECT_EQ(ToSingleByteText(QStringLiteral("Иван")), QStringLiteral("????"));
    EXPECT_EQ(ToSingleByteText(QString::fromUtf8("a\xF0\x9F\x9A\x95"
                                                 "b")),
              QStringLiteral("a?b"));
}

TEST(TripValues, LowerAsciiLettersOnly)
{
    EXPECT_EQ(LowerAsciiLetters(QStringLiteral("NIET Combineren ÉÀ")), QStringLiteral("niet combineren ÉÀ"));
}

} // namespace
