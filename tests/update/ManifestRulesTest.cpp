#include "update/ManifestRules.h"
#include "update/IniProfile.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace
{

const QString kSection = QStringLiteral("VoranoOstrel");

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

} // namespace

// ValidUntil is a UTC time whatever the machine's zone: the last second of validity is accepted, the next refused,
// also around the night the clocks go back in Amsterdam.
TEST(ManifestRules, ValidUntilIsAUtcTimeInEveryZone)
{
    const QString text = QStringLiteral("[VoranoOstrel]\r\nValidUntil=2026-10-25T01:30:00Z\r\nVersion=9.2.0.0\r\n");
    EXPECT_EQ(ManifestRefusal(text, kSection, utc(2026, 10, 25, 1, 30, 0)), QString());
    EXPECT_EQ(ManifestRefusal(text, kSection, utc(2026, 10, 25, 1, 30, 1)),
              QStringLiteral("Updatecontrole: het updatebestand is verlopen op 2026-10-25 01:30:00 UTC; het "
                             "updatebestand wordt geweigerd."));
    // The same moment as a local time of this machine.
    EXPECT_EQ(ManifestRefusal(text, kSection, utc(2026, 10, 25, 1, 30, 1).toLocalTime()),
              ManifestRefusal(text, kSection, utc(2026, 10, 25, 1, 30, 1)));

    const struct {
        const char *value;
        bool valid;
    } forms[] = {
        {"2026-12-31T23:59:59Z", true},
        {"2026-12-31T23:59:59", false},
        {"2026-12-31 23:59:59Z", false},
        {"2026-12-31T23:59:59+01:00", false},
        {"2026-02-30T12:00:00Z", false},
        {"2026-12-31T24:00:00Z", false},
        {"", false},
        {"morgen", false},
    };
    for (const auto &f : forms) {
        const std::optional<QDateTime> parsed = ParseValidUntil(QString::fromLatin1(f.value));
        EXPECT_EQ(parsed.has_value(), f.valid) << f.value;
        if (parsed) {
            EXPECT_EQ(ValidUntilText(*parsed), QString::fromLatin1(f.value));
        }
    }
    EXPECT_EQ(ValidUntilText(utc(2027, 1, 9, 20, 50, 0).toLocalTime()), QStringLiteral("2027-01-09T20:50:00Z"));
}

// Names are compared with the ASCII letter case only, by the reader and by the duplicate rule alike.
TEST(ManifestRules, NamesAreAsciiAndAppearOnce)
{
    const QString valid = QStringLiteral("ValidUntil=2099-01-01T00:00:00Z\r\n");
    const struct {
        QString text;
        bool refused;
    } cases[] = {
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("Version=1.0.0.1\r\n[Ander]\r\nVersion=2\r\n"),
         false},
        {QStringLiteral("[voranoostrel]\r\n") + valid, false},
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("[VORANOOSTREL]\r\n"), true},
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("VERSION=1\r\n version = 2\r\n"), true},
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("; Version=1\r\nVersion=2\r\n"), false},
        {QStringLiteral("[A]\r\nVersion=1\r\n[VoranoOstrel]\r\n") + valid + QStringLiteral("Version=2\r\n"), false},
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("\u017FHA256Hash=1\r\n"), true},
        {QStringLiteral("[VoranoOstrel]\r\n") + valid + QStringLiteral("Ver\tsion=1\r\n"), true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ManifestRefusal(c.text, kSection, utc(2026, 12, 10, 21, 0, 0)).isEmpty(), !c.refused)
            << c.text.toStdString();

    const QString text = QStringLiteral("[VoranoOstrel]\r\n\u017FHA256Hash=lang\r\nSHA256Hash=ascii\r\n\u212Aey=k\r\n");
    EXPECT_EQ(ReadProfileString(text, kSection, QStringLiteral("SHA256Hash")), QStringLiteral("ascii"));
    EXPECT_EQ(ReadProfileString(text, kSection, QStringLiteral("key")), QString());
    EXPECT_EQ(ReadProfileString(text, QStringLiteral("VORANOOSTREL"), QStringLiteral("sha256hash")),
              QStringLiteral("ascii"));
}
