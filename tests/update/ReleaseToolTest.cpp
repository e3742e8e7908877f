#include "SecretFile.h"
#include "update/IniProfile.h"
#include "update/ManifestRules.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The umask of the process while a test runs.
class Umask
{
  public:
    explicit Umask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~Umask() { ::umask(m_old); }

  private:
    mode_t m_old;
};

mode_t modeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun releaseTool(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(VORANO_RELEASE_TOOL), arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

// The key file is made with mode 0600 by open() itself, whatever the umask: no moment exists at which another user
// could open it. An existing file is never taken over.
TEST(ReleaseTool, PrivateKeyFileIsOwnerOnlyFromItsCreation)
{
    const Umask open(0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("release.key"));
    const int fd = OpenNewSecretFile(path);
    ASSERT_GE(fd, 0);
    struct stat st {
    };
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u); // the inode as created, before anything was written or changed
    ::close(fd);

    EXPECT_EQ(OpenNewSecretFile(path), -1);
    EXPECT_EQ(errno, EEXIST);
    const QString link = dir.filePath(QStringLiteral("link.key"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elders.key")), link));
    EXPECT_EQ(OpenNewSecretFile(link), -1); // a planted link is not followed to create a file elsewhere
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("elders.key"))));
}

TEST(ReleaseTool, KeygenRefusesAnExistingKeyUnlessForced)
{
    const Umask open(0);
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("release.key"));
    const QString pub = dir.filePath(QStringLiteral("release.pub"));

    const ToolRun first = releaseTool({QStringLiteral("keygen"), key, pub});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(modeOf(key), 0600u);
    const QByteArray original = readAll(key);
    EXPECT_EQ(QByteArray::fromBase64(original.trimmed()).size(), 32);

    const ToolRun again = releaseTool({QStringLiteral("keygen"), key, pub});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(QStringLiteral("exists"))) << again.err.toStdString();
    EXPECT_EQ(readAll(key), original);

    const ToolRun forced = releaseTool({QStringLiteral("keygen"), QStringLiteral("--force"), key, pub});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_NE(readAll(key), original);
    EXPECT_EQ(modeOf(key), 0600u);
    EXPECT_FALSE(QFile::exists(key + QStringLiteral(".new")));
}

// A manifest made by the tool carries the size, the hash, the end date and the notes' hash, and verify shows what
// the program will read; a manifest the program would refuse is refused by verify with the same line.
TEST(ReleaseTool, ManifestAndVerify)
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("release.key"));
    const QString pub = dir.filePath(QStringLiteral("release.pub"));
    ASSERT_EQ(releaseTool({QStringLiteral("keygen"), key, pub}).exitCode, 0);
    const QString release = dir.filePath(QStringLiteral("VoranoOstrel.zip"));
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    const QString manifest = dir.filePath(QStringLiteral("Updates.txt"));
    const QByteArray body = "The quick brown fox jumps over the lazy dog";
    const QByteArray notesBody = "Nieuw: \xE2\x82\xAC\r\n";
    for (const auto &[path, bytes] : {std::pair{release, body}, std::pair{notes, notesBody}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const ToolRun made =
        releaseTool({QStringLiteral("manifest"), key, release, QStringLiteral("9.2.0.0"),
                     QStringLiteral("https://update.vorano.nl/VoranoOstrel.zip"), manifest, QStringLiteral("--readme"),
                     QStringLiteral("https://update.vorano.nl/notes.txt"), QStringLiteral("--readme-file"), notes,
                     QStringLiteral("--valid-days"), QStringLiteral("7")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QString text = QString::fromUtf8(readAll(manifest));
    auto value = [&](const char *name) {
        return ReadProfileString(text, QStringLiteral("VoranoOstrel"), QLatin1String(name));
    };
    EXPECT_EQ(value("FileSize"), QStringLiteral("43"));
    EXPECT_EQ(value("SHA256Hash"), QStringLiteral("D7A8FBB307D7809469CA9ABCB0082E4F8D5651E46D3CDB762D02D0BF37C9E592"));
    EXPECT_EQ(value("ReadmeSHA256"),
              QString::fromLatin1(QCryptographicHash::hash(notesBody, QCryptographicHash::Sha256).toHex().toUpper()));
    const std::optional<QDateTime> until = ParseValidUntil(value("ValidUntil"));
    ASSERT_TRUE(until.has_value()) << value("ValidUntil").toStdString();
    EXPECT_GE(*until, before.addDays(7).addSecs(-1));
    EXPECT_LE(*until, QDateTime::currentDateTimeUtc().addDays(7));
    EXPECT_EQ(ManifestRefusal(text, QStringLiteral("VoranoOstrel"), QDateTime::currentDateTimeUtc()), QString());

    const ToolRun verified = releaseTool({QStringLiteral("verify"), pub, manifest});
    EXPECT_EQ(verified.exitCode, 0) << verified.out.toStdString();
    const QString validUntil = value("ValidUntil");
    EXPECT_EQ(verified.out,
              QStringLiteral("valid\n"
                             "version:       9.2.0.0\n"
                             "file:          VoranoOstrel.zip (https://update.vorano.nl/VoranoOstrel.zip)\n"
                             "size:          43 bytes\n"
                             "hash:          SHA-256 D7A8FBB307D7809469CA9ABCB0082E4F8D5651E46D3CDB762D02D0BF37C9E592\n"
                             "valid until:   %1 %2 UTC\n"
                             "release notes: https://update.vorano.nl/notes.txt (SHA-256 %3)\n")
                  .arg(validUntil.left(10), validUntil.mid(11, 8), value("ReadmeSHA256")));

    // Notes without their file are refused, and so is a validity of no days.
    EXPECT_NE(releaseTool({QStringLiteral("manifest"), key, release, QStringLiteral("9.2.0.0"),
                           QStringLiteral("https://update.vorano.nl/VoranoOstrel.zip"), manifest,
                           QStringLiteral("--readme"), QStringLiteral("https://update.vorano.nl/notes.txt")})
                  .exitCode,
              0);
    EXPECT_NE(releaseTool({QStringLiteral("manifest"), key, release, QStringLiteral("9.2.0.0"),
                           QStringLiteral("https://update.vorano.nl/VoranoOstrel.zip"), manifest,
                           QStringLiteral("--valid-days"), QStringLiteral("0")})
                  .exitCode,
              0);

    // Signed, but against the rules: verify refuses it with the program's line.
    QFile f(manifest);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Version=9.3.0.0\r\n");
    f.close();
    ASSERT_EQ(releaseTool({QStringLiteral("sign"), key, manifest}).exitCode, 0);
    const ToolRun refused = releaseTool({QStringLiteral("verify"), pub, manifest});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, QStringLiteral("NOT valid: Updatecontrole: de sleutel \"Version\" staat meer dan eens in de "
                                          "sectie \"[VoranoOstrel]\" van het updatebestand; het updatebestand wordt "
                                          "geweigerd.\n"));
}

// A signed manifest the program refuses is refused by verify too, every value with the program's own line, and
// the escape sequences in it never reach the terminal.
TEST(ReleaseTool, VerifyRefusesWhatTheProgramRefusesAndPrintsNoControlCharacter)
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("release.key"));
    const QString pub = dir.filePath(QStringLiteral("release.pub"));
    ASSERT_EQ(releaseTool({QStringLiteral("keygen"), key, pub}).exitCode, 0);
    const QString manifest = dir.filePath(QStringLiteral("Updates.txt"));
    const QByteArray validUntil = ValidUntilText(QDateTime::currentDateTimeUtc().addDays(30)).toLatin1();
    {
        QFile f(manifest);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[VoranoOstrel]\r\nVersion=2.0\r\n"
                "DownloadFileURL=https://update.vorano.nl/..\\..\\\x1B[2J\x1B]0;gekaapt\x07VoranoOstrel.exe\r\n"
                "SHA256Hash=not-a-hash\r\nFileSize=-5\r\nReadmeFileURL=file:///etc/passwd\r\n"
                "ReadmeSHA256=" +
                QByteArray(64, 'A') + "\r\nValidUntil=" + validUntil + "\r\n");
    }
    ASSERT_EQ(releaseTool({QStringLiteral("sign"), key, manifest}).exitCode, 0);

    const ToolRun verified = releaseTool({QStringLiteral("verify"), pub, manifest});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_EQ(verified.out,
              QStringLiteral(
                  "NOT valid: Updatecontrole: het versienummer \"2.0\" in het updatebestand is ongeldig; er wordt "
                  "niets aangeboden.\n"
                  "NOT valid: Update: de bestandsnaam \"..\\..\\\\x1B[2J\\x1B]0;gekaapt\\x07VoranoOstrel.exe\" is "
                  "ongeldig; er wordt niets gedownload.\n"
                  "NOT valid: Update: het updatebestand noemt geen geldige SHA-256 van de download; er wordt niets "
                  "gedownload.\n"
                  "NOT valid: Update: het updatebestand noemt als grootte \"-5\", geen aantal bytes; er wordt niets "
                  "gedownload.\n"
                  "NOT valid: Updatecontrole: het adres van de release notes \"file:///etc/passwd\" is geen "
                  "webadres; de release notes worden niet getoond.\n"));
    for (const QChar c : verified.out + verified.err)
        EXPECT_TRUE(c == u'\n' || c.unicode() >= 0x20) << "control character " << int(c.unicode());

    // A validity of more than a year is refused when it is made, as the program would refuse it.
    const QString release = dir.filePath(QStringLiteral("VoranoOstrel.zip"));
    {
        QFile f(release);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    for (const char *days : {"365", "366"}) {
        const ToolRun made = releaseTool({QStringLiteral("manifest"), key, release, QStringLiteral("9.2.0.0"),
                                          QStringLiteral("https://update.vorano.nl/VoranoOstrel.zip"), manifest,
                                          QStringLiteral("--valid-days"), QLatin1String(days)});
        EXPECT_EQ(made.exitCode == 0, QLatin1String(days) == QLatin1String("365")) << days << made.err.toStdString();
    }
    EXPECT_EQ(releaseTool({QStringLiteral("verify"), pub, manifest}).exitCode, 0);
}
