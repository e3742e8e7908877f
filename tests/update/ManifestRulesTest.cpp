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
    const QString valid = QStringLiteral("ValidUntil=2027-01-01T00:00:00Z\r\n");
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

// A manifest valid for more than a year would stay current for ever after one signing: a year from the program's
// clock is the most it may say.
TEST(ManifestRules, ValidUntilIsAtMostAYearAhead)
{
    const QString text = QStringLiteral("[VoranoOstrel]\r\nValidUntil=2027-12-10T21:00:00Z\r\n");
    EXPECT_EQ(ManifestRefusal(text, kSection, utc(2026, 12, 10, 21, 0, 0)), QString());
    EXPECT_EQ(ManifestRefusal(text, kSection, utc(2026, 12, 10, 20, 59, 59)),
              QStringLiteral("Updatecontrole: het updatebestand is geldig tot 2027-12-10 21:00:00 UTC, meer dan een "
                             "jaar vooruit; het updatebestand wordt geweigerd."));
    EXPECT_FALSE(ManifestRefusal(QStringLiteral("[VoranoOstrel]\r\nValidUntil=9999-12-31T23:59:59Z\r\n"), kSection,
                                 utc(2026, 12, 10, 21, 0, 0))
                     .isEmpty());
}

// Each value the update uses, against the rule the program applies where it uses it.
TEST(ManifestRules, EveryValueIsCheckedByTheProgramsRule)
{
    const QString badSize = QStringLiteral(
        "Update: het updatebestand noemt als grootte \"%1\", geen aantal bytes; er wordt niets gedownload.");
    const QString noHash = QStringLiteral(
        "Update: het updatebestand noemt geen geldige SHA-256 van de download; er wordt niets gedownload.");
    const QString hash = QString(64, QLatin1Char('a'));
    const struct {
        const char *what;
        QString refusal;
        QString expected;
    } cases[] = {
        {"version", VersionRefusal(QStringLiteral("9.2.0.0")), {}},
        {"version of two numbers", VersionRefusal(QStringLiteral("2.0")),
         QStringLiteral("Updatecontrole: het versienummer \"2.0\" in het updatebestand is ongeldig; er wordt niets "
                        "aangeboden.")},
        {"file name", DownloadNameRefusal(QStringLiteral("https://update.vorano.nl/VoranoOstrel.zip")), {}},
        {"file name with a folder", DownloadNameRefusal(QStringLiteral("https://u.nl/x/..\\..\\VoranoOstrel.exe")),
         QStringLiteral("Update: de bestandsnaam \"..\\..\\VoranoOstrel.exe\" is ongeldig; er wordt niets "
                        "gedownload.")},
        {"no download", DownloadNameRefusal({}),
         QStringLiteral("Update: de bestandsnaam \"\" is ongeldig; er wordt niets gedownload.")},
        {"hash", DownloadHashRefusal(hash.toUpper()), {}},
        {"not a hash", DownloadHashRefusal(QStringLiteral("not-a-hash")), noHash},
        {"hash one digit short", DownloadHashRefusal(hash.left(63)), noHash},
        {"size", FileSizeRefusal(QStringLiteral("43")), {}},
        {"no size", FileSizeRefusal({}), {}},
        {"negative size", FileSizeRefusal(QStringLiteral("-5")), badSize.arg(QStringLiteral("-5"))},
        {"size zero", FileSizeRefusal(QStringLiteral("0")), badSize.arg(QStringLiteral("0"))},
        {"size with a sign", FileSizeRefusal(QStringLiteral("+43")), badSize.arg(QStringLiteral("+43"))},
        {"size with a leading zero", FileSizeRefusal(QStringLiteral("043")), badSize.arg(QStringLiteral("043"))},
        {"size in Arabic digits", FileSizeRefusal(QStringLiteral("\u0664\u0663")),
         badSize.arg(QStringLiteral("\u0664\u0663"))},
        {"notes", NotesAddressRefusal(QStringLiteral("https://update.vorano.nl/notes.txt")), {}},
        {"no notes", NotesAddressRefusal({}), {}},
        {"notes from a local file", NotesAddressRefusal(QStringLiteral("file:///etc/passwd")),
         QStringLiteral("Updatecontrole: het adres van de release notes \"file:///etc/passwd\" is geen webadres; de "
                        "release notes worden niet getoond.")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.refusal, c.expected) << c.what;

    // All of them at once, in that order; a manifest the rules above refuse gives that one line only.
    const QString manifest = QStringLiteral("[VoranoOstrel]\r\nValidUntil=2027-01-01T00:00:00Z\r\nVersion=2.0\r\n"
                                            "DownloadFileURL=https://u.nl/..\\x.exe\r\nSHA256Hash=not-a-hash\r\n"
                                            "FileSize=-5\r\nReadmeFileURL=file:///etc/passwd\r\n");
    const QStringList all = ManifestRefusals(manifest, kSection, utc(2026, 12, 10, 21, 0, 0));
    EXPECT_EQ(all, (QStringList{VersionRefusal(QStringLiteral("2.0")),
                                DownloadNameRefusal(QStringLiteral("https://u.nl/..\\x.exe")), noHash,
                                badSize.arg(QStringLiteral("-5")),
                                NotesAddressRefusal(QStringLiteral("file:///etc/passwd"))}));
    EXPECT_EQ(
        ManifestRefusals(manifest + QStringLiteral("version=3\r\n"), kSection, utc(2026, 12, 10, 21, 0, 0)).size(), 1);
}
