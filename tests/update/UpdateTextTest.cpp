#include "update/UpdateText.h"
#include "update/IniProfile.h"
#include "update/TJFCAppUpdate.h"

#include <gtest/gtest.h>

namespace
{

using Unit = TJFCAppUpdateFileSizeUnit;

TEST(FormatFileSize, EveryUnit)
{
    const QLocale comma(QLocale::English, QLocale::UnitedStates);
    const struct {
        Unit unit;
        qint64 size;
        const char *text;
    } cases[] = {
        {Unit::Auto, 0, "0 B"},
        {Unit::Auto, 1, "1 B"},
        {Unit::Auto, 1024, "1,024 B"},
        {Unit::Auto, 1025, "1 KB"},
        {Unit::Auto, 1048576, "1,024 KB"},
        {Unit::Auto, 1048577, "1 MB"},
        {Unit::Auto, 1073741824, "1,024 MB"},
        {Unit::Auto, 1073741825, "1 GB"},
        {Unit::Auto, 5000LL * 1073741824, "5,000 GB"},
        {Unit::Bytes, 0, "0 B"},
        {Unit::Bytes, 1234567, "1,234,567 B"},
        {Unit::KiloBytes, 0, "0 KB"},
        {Unit::KiloBytes, 500, "1 KB"},
        {Unit::KiloBytes, 2047, "1 KB"},
        {Unit::KiloBytes, 2048, "2 KB"},
        {Unit::KiloBytes, 1048576 * 3, "3,072 KB"},
        {Unit::MegaBytes, 0, "0 MB"},
        {Unit::MegaBytes, 1048575, "1 MB"},
        {Unit::MegaBytes, 1048576 * 1500LL, "1,500 MB"},
        {Unit::GigaBytes, 0, "0 GB"},
        {Unit::GigaBytes, 1073741823, "1 GB"},
        {Unit::GigaBytes, 1073741824LL * 2, "2 GB"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatFileSize(c.size, c.unit, comma), QLatin1String(c.text)) << c.size;
    // The thousands separator is the locale's.
    EXPECT_EQ(FormatFileSize(1024, Unit::Auto, QLocale(QLocale::Dutch, QLocale::Netherlands)),
              QStringLiteral("1.024 B"));
}

TEST(CompareVersionText, IsOrdinal)
{
    const struct {
        const char *a;
        const char *b;
        int sign;
    } cases[] = {
        {"9.0.10.1", "9.0.9.1", -1},                           // '1' < '9': the manifest version counts as newer
        {"9.0.9.1", "9.0.9.1", 0},   {"9.0.9", "9.0.9.1", -1}, // a prefix is smaller
        {"", "1.0.0.0", -1},                                   // no version resource: everything is newer
        {"1.0.0.1", "", 1},          {"a", "B", 1},            // letter case counts
    };
    for (const auto &c : cases) {
        const int r = CompareVersionText(QLatin1String(c.a), QLatin1String(c.b));
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(ParseVersionNumbers, FourNumbersAndNothingElse)
{
    const struct {
        const char *text;
        std::optional<VersionNumbers> numbers;
    } cases[] = {
        {"9.0.9.1", VersionNumbers{9, 0, 9, 1}},
        {"0.0.0.0", VersionNumbers{0, 0, 0, 0}},
        {"65535.65535.65535.65535", VersionNumbers{65535, 65535, 65535, 65535}},
        {"009.00.010.1", VersionNumbers{9, 0, 10, 1}},
        {"", std::nullopt},
        {"9.0.9", std::nullopt},
        {"9.0.9.1.0", std::nullopt},
        {"9.0..1", std::nullopt},
        {"9.0.9.65536", std::nullopt},
        {"9.0.9.000001", std::nullopt},
        {"9.0.9.-1", std::nullopt},
        {"9.0.9.+1", std::nullopt},
        {" 9.0.9.1", std::nullopt},
        {"9.0.9.1 ", std::nullopt},
        {"9.0.9.1a", std::nullopt},
        {"9.0.9.\u0661", std::nullopt}, // an Arabic-Indic digit one
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseVersionNumbers(QString::fromUtf8(c.text)), c.numbers) << c.text;

    // Ordered as numbers, from the left.
    EXPECT_LT(*ParseVersionNumbers(QStringLiteral("9.0.9.1")), *ParseVersionNumbers(QStringLiteral("9.0.10.1")));
    EXPECT_LT(*ParseVersionNumbers(QStringLiteral("1.65535.0.0")), *ParseVersionNumbers(QStringLiteral("2.0.0.0")));
}

TEST(IsSafeLocalFileName, OnePlainName)
{
    const struct {
        const char *name;
        bool safe;
    } cases[] = {
        {"VoranoOstrel.zip", true},
        {"Vorano Ostrel 9.0.10.1.exe", true},
        {"Cli\u00EBnt-\u20AC.zip", true},
        {"a.b", true},
        {"", false},
        {"x\\..\\..\\VoranoUpdater.exe", false},
        {"..", false},
        {"a..b", false},
        {".profile", false},
        {"c:VoranoUpdater.exe", false},
        {"naam:stroom", false},
        {"a\tb", false},
        {"a\nb", false},
        {"a\x7F"
         "b",
         false},
        {"a\u0085b", false}, // a C1 control
        {"a?b", false},
        {"a*b", false},
        {"a\"b", false},
        {"a<b", false},
        {"a|b", false},
        {"naam.", false},
        {"naam ", false},
        {"CON", false},
        {"nul.zip", false},
        {"COM1.exe", false},
        {"lpt9", false},
        {"COM0.exe", true},
        {"CONSOLE.zip", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsSafeLocalFileName(QString::fromUtf8(c.name)), c.safe) << c.name;
    EXPECT_FALSE(IsSafeLocalFileName(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
}

TEST(SameWebHost, HostOnlyAndLetterCaseIgnored)
{
    EXPECT_TRUE(SameWebHost(QStringLiteral("https://Update.Vorano.nl/info"),
                            QStringLiteral("https://update.vorano.nl/liveupdate/VoranoOstrel/Updates.txt")));
    EXPECT_TRUE(
        SameWebHost(QStringLiteral("http://update.vorano.nl:8080/"), QStringLiteral("https://update.vorano.nl/")));
    EXPECT_FALSE(SameWebHost(QStringLiteral("https://update.vorano.nl.evil.test/"),
                             QStringLiteral("https://update.vorano.nl/")));
    EXPECT_FALSE(SameWebHost(QStringLiteral("https://evil.test/@update.vorano.nl"),
                             QStringLiteral("https://update.vorano.nl/")));
    EXPECT_FALSE(
        SameWebHost(QStringLiteral("file://update.vorano.nl/etc/passwd"), QStringLiteral("https://update.vorano.nl/")));
}

TEST(UpdateText, FileNamesAndSectionName)
{
    EXPECT_EQ(UrlFileName(QStringLiteral("http://h/a/b/VoranoOstrel.zip")), QStringLiteral("VoranoOstrel.zip"));
    EXPECT_EQ(UrlFileName(QStringLiteral("VoranoOstrel.zip")), QStringLiteral("VoranoOstrel.zip"));
    EXPECT_EQ(UrlFileName(QStringLiteral("http://h/map/")), QString());
    EXPECT_EQ(UpdateSectionNameFor(QStringLiteral("/opt/vorano/VoranoOstrel.exe")), QStringLiteral("VoranoOstrel"));
    EXPECT_EQ(UpdateSectionNameFor(QStringLiteral("/opt/vorano/VoranoOstrel")), QStringLiteral("VoranoOstrel"));
    EXPECT_EQ(UpdateSectionNameFor(QStringLiteral("C:/x.y/Vorano.Ostrel.exe")), QStringLiteral("Vorano"));
}

TEST(UpdateText, TransferAndTimerTexts)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(TransferText(0, 0, Unit::Auto, c), QStringLiteral("0 B of 0 B (0%)"));
    EXPECT_EQ(TransferText(1536, 3072, Unit::Auto, c), QStringLiteral("1 KB of 3 KB (50%)"));

    // Less than a whole second: speed 0, remaining time still from the whole seconds.
    DownloadTimerTexts t = Timer1Texts(900, 5000, 10000, Unit::Auto, c);
    EXPECT_EQ(t.speed, QStringLiteral("0 B/sec"));
    EXPECT_EQ(t.elapsed, QStringLiteral("00:00:00"));
    EXPECT_EQ(t.remaining, QStringLiteral("00:00:00"));
    t = Timer1Texts(10500, 2048 * 10, 2048 * 70, Unit::Auto, c);
    EXPECT_EQ(t.speed, QStringLiteral("2 KB/sec"));
    EXPECT_EQ(t.elapsed, QStringLiteral("00:00:10"));
    EXPECT_EQ(t.remaining, QStringLiteral("00:01:00"));
    t = Timer1Texts(3725000, 0, 100, Unit::Auto, c);
    EXPECT_EQ(t.elapsed, QStringLiteral("01:02:05"));
    EXPECT_EQ(t.remaining, QString()); // nothing received: the label stays
}

TEST(IniProfile, WindowsProfileRules)
{
    const QString text = QStringLiteral("; opmerking\r\n"
                                        "[Ander]\r\n"
                                        "Version=0.0.0.1\r\n"
                                        "  [ voranoostrel ]  \r\n"
                                        "VERSION = 9.0.9.1 \r\n"
                                        "Version=tweede\r\n"
                                        "CRC32Hash=\"ABCDEF01\"\r\n"
                                        "Leeg=\r\n"
                                        "Lang=%1\n"
                                        "[VoranoOstrel]\r\n"
                                        "SQLVersion=uit tweede sectie\r\n")
                             .arg(QString(3000, QLatin1Char('x')));
    const QString section = QStringLiteral("VoranoOstrel");
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("version")), QStringLiteral("9.0.9.1"));
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("CRC32Hash")), QStringLiteral("ABCDEF01"));
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("Leeg")), QString());
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("Ontbreekt")), QString());
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("Lang")), QString(2047, QLatin1Char('x')));
    EXPECT_EQ(ReadProfileString(text, section, QStringLiteral("SQLVersion")), QString());
    EXPECT_EQ(ReadProfileString(text, QStringLiteral("Onbekend"), QStringLiteral("Version")), QString());
    EXPECT_EQ(ReadProfileString(text, QStringLiteral("ANDER"), QStringLiteral("Version")), QStringLiteral("0.0.0.1"));
}

TEST(IniProfile, DecodesByteOrderMarks)
{
    const QString text = QStringLiteral("Cli\u00EBnt \u20AC");
    QByteArray le("\xFF\xFE");
    for (QChar ch : text)
        le.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    EXPECT_EQ(DecodeText(le), text);
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + text.toUtf8()), text);
    EXPECT_EQ(DecodeText(text.toUtf8()), text);
    EXPECT_EQ(DecodeText(QByteArray("Cli\xEBnt \x80")), text); // Windows-1252 without a mark
}

} // namespace
