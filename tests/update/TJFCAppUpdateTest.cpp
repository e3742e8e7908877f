#include "update/TJFCAppUpdate.h"
#include "ScriptedUpdatePrompts.h"
#include "TestReleaseKey.h"
#include "base/VoranoError.h"
#include "support/LocalHttpServer.h"
#include "support/TestNetwork.h"
#include "update/UpdateHttpClient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

const QByteArray kManifestPath = "/liveupdate/VoranoOstrel/Updates.txt";

QByteArray readUpdateTestFile(const char *name)
{
    QFile file(QStringLiteral(VORANO_TEST_DATA_DIR "/update/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing " << name;
    return file.readAll();
}
const QString kCompanyPage = QStringLiteral("http://www.vorano.test/");
const QString kNoNewVersion = QStringLiteral("information: Er is geen nieuwe versie beschikbaar.");
const QString kWebsiteQuestion =
    QStringLiteral("question: Er is geen nieuwe versie beschikbaar.\rWenst u de website te openen?");

class CheckForUpdateTest : public ::testing::Test
{
  protected:
    CheckForUpdateTest()
        : m_update(
              m_prompts, [this](TJFCAppUpdateNotifyState &s) { m_shown.push_back(s); }, TestNetwork(), NoStop(),
              [this](const QString &line) { m_log << line; }, m_key.trust())
    {
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        m_update.Version = QStringLiteral("9.0.9.1");
        m_update.UpdateFileURL = m_server.url(QString::fromLatin1(kManifestPath));
        m_update.UpdatePageURL = kCompanyPage;
        m_update.transferTimeoutMs = 10000;
    }
    ~CheckForUpdateTest() override
    {
        // Every temporary file of a check is gone when it returns, on every path.
        EXPECT_EQ(QDir(m_tmp.path()).entryList(QDir::Files), QStringList());
        qputenv("TMPDIR", m_oldTmp);
    }

    // A manifest valid for the whole run of this test.
    QByteArray manifest(const QByteArray &lines) const
    {
        return "[Ander]\r\nVersion=99\r\n[" + UpdateSectionName.toLatin1() + "]\r\n" + CurrentValidUntilLine() + lines;
    }
    // The line that signs release notes.
    static QByteArray readmeHash(const QByteArray &notes)
    {
        return "ReadmeSHA256=" + QCryptographicHash::hash(notes, QCryptographicHash::Sha256).toHex() + "\r\n";
    }
    // The manifest and its signature by the test's release key, on the server.
    void serveSigned(const QByteArray &body, const QByteArray &path = kManifestPath)
    {
        m_server.serveFile(path, body);
        m_server.serveFile(path + ".sig", m_key.signatureFile(body));
    }

    // A check that must refuse: its one log line, and a message box only when the user asked for the check.
    void expectRefused(const QString &line)
    {
        for (bool silent : {false, true}) {
            m_log.clear();
            m_prompts.seen.clear();
            EXPECT_FALSE(m_update.CheckForUpdate(silent));
            EXPECT_EQ(m_log, QStringList{line});
            EXPECT_EQ(m_prompts.seen, silent ? QStringList() : QStringList{QStringLiteral("error: ") + line});
        }
    }

    TestReleaseKey m_key;
    QStringList m_log;
    LocalHttpServer m_server;
    ScriptedUpdatePrompts m_prompts;
    std::vector<TJFCAppUpdateNotifyState> m_shown;
    TJFCAppUpdate m_update;
    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
};

TEST_F(CheckForUpdateTest, EqualVersionIsNotNewer)
{
    serveSigned(manifest("Version=9.0.9.1\r\n"));
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList{kNoNewVersion});
    EXPECT_TRUE(m_shown.empty());

    m_prompts.seen.clear();
    EXPECT_FALSE(m_update.CheckForUpdate(true));
    EXPECT_EQ(m_prompts.seen, QStringList());

    EXPECT_EQ(m_log, QStringList());
    const auto requests = m_server.requestsFor(kManifestPath);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(m_server.requestsFor(kManifestPath + ".sig").size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("User-Agent"), "Mozilla/4.0 (compatible; ICS)");
    EXPECT_EQ(requests[0].header("Accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(requests[0].header("Pragma"), "no-cache");
}

TEST_F(CheckForUpdateTest, NewerVersionShowsTheDialogWithReleaseNotes)
{
    // Compared as numbers: 9.0.10.1 is newer than 9.0.9.1, although it is ordinally smaller.
    m_update.HashType = THashType::SHA1;
    m_update.FileSizeUnit = TJFCAppUpdateFileSizeUnit::MegaBytes;
    const QByteArray page = m_server.url(QStringLiteral("/info.html")).toLatin1();
    const QByteArray notes = "\xEF\xBB\xBFNieuw in deze versie:\r\n- Cli\xC3\xABnt\r\n";
    serveSigned(manifest("version=9.0.10.1\r\nDownloadFileURL=http://x/VoranoOstrel.zip\r\n"
                         "ReadmeFileURL=" +
                         m_server.url(QStringLiteral("/notes.txt")).toLatin1() + "\r\n" + readmeHash(notes) +
                         "SHA1Hash=ABC\r\nSHA256Hash=abc\r\nUpdatePageURL=" + page + "\r\n"));
    m_server.serveFile("/notes.txt", notes);
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList());
    ASSERT_EQ(m_shown.size(), 1u);
    const TJFCAppUpdateNotifyState &s = m_shown[0];
    EXPECT_EQ(s.manifest.Version, QStringLiteral("9.0.10.1"));
    EXPECT_EQ(s.manifest.DownloadFileURL, QStringLiteral("http://x/VoranoOstrel.zip"));
    EXPECT_EQ(s.manifest.SHA1Hash, QStringLiteral("ABC"));
    EXPECT_EQ(s.manifest.SHA256Hash, QStringLiteral("abc"));
    EXPECT_EQ(s.manifest.UpdatePageURL, QString::fromLatin1(page)); // on the update server itself
    EXPECT_EQ(s.readme, QStringLiteral("Nieuw in deze versie:\r\n- Cli\u00EBnt\r\n"));
    EXPECT_TRUE(s.downloadEnabled);
    EXPECT_EQ(s.HashType, THashType::SHA1);
    EXPECT_EQ(s.FileSizeUnit, TJFCAppUpdateFileSizeUnit::MegaBytes);
}

TEST_F(CheckForUpdateTest, NewerVersionWithoutDownloadAndFailedNotes)
{
    // A web page elsewhere than on the update server is not taken from the manifest.
    serveSigned(manifest("Version=9.1.0.0\r\nUpdatePageURL=http://elders.test/\r\nReadmeFileURL=" +
                         m_server.url(QStringLiteral("/weg.txt")).toLatin1() + "\r\n" + readmeHash("weg")));
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_FALSE(m_shown[0].downloadEnabled);
    EXPECT_EQ(m_shown[0].readme, QStringLiteral("Mislukt: 404 Not Found"));
    EXPECT_EQ(m_shown[0].manifest.UpdatePageURL, kCompanyPage);
}

TEST_F(CheckForUpdateTest, MissingSqlVersionRefusesTheUpdate)
{
    serveSigned(manifest("Version=9.1.0.0\r\nSQLVersion=12\r\n"));
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(m_prompts.seen,
              QStringList{QStringLiteral(
                  "warning: SQL scripts controle is mislukt | "
                  "U kunt de beschikbare update momenteel niet installeren.\r\n\r\n"
                  "Taxis Vorano  beschikt niet over de juiste database versie en u moet vooraf de SQL scripts "
                  "uitvoeren.\r\n\r\nNoodzakelijke versie SQL scripts: 12")});
}

TEST_F(CheckForUpdateTest, FailedManifestOffersTheWebsite)
{
    // No manifest on the server (404), then a host where nothing listens.
    m_prompts.answers = {true, false};
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    m_update.UpdateFileURL = QStringLiteral("http://127.0.0.1:1/Updates.txt");
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen,
              QStringList({kWebsiteQuestion, QStringLiteral("open: ") + kCompanyPage, kWebsiteQuestion}));
    EXPECT_TRUE(m_shown.empty());

    // Without a web page of the component only the information remains.
    m_prompts.seen.clear();
    m_update.UpdatePageURL.clear();
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList{kNoNewVersion});
}

// Without the program's section there is no end date either: the manifest could hold updates back for ever.
TEST_F(CheckForUpdateTest, ManifestWithoutOurSectionIsRefused)
{
    serveSigned("[Ander]\r\nVersion=99\r\n" + CurrentValidUntilLine());
    expectRefused(QStringLiteral("Updatecontrole: het updatebestand noemt geen geldige einddatum (ValidUntil); het "
                                 "updatebestand wordt geweigerd."));
}

TEST_F(CheckForUpdateTest, UnauthorisedBodyIsReadAsTheManifest)
{
    for (int status : {401, 407}) {
        LocalHttpServer::Response r;
        r.status = status;
        r.reason = "Unauthorized";
        r.body = manifest("Version=9.2.0.0\r\n");
        m_server.serve(kManifestPath, r);
        m_server.serveFile(kManifestPath + ".sig", m_key.signatureFile(r.body));
        m_shown.clear();
        EXPECT_TRUE(m_update.CheckForUpdate(false)) << status;
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].manifest.Version, QStringLiteral("9.2.0.0"));
    }
}

TEST_F(CheckForUpdateTest, ServerErrorIsAFailure)
{
    LocalHttpServer::Response r;
    r.status = 500;
    r.reason = "Internal Server Error";
    r.body = manifest("Version=9.2.0.0\r\n");
    m_server.serve(kManifestPath, r);
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_log, QStringList{QStringLiteral("Updatecontrole: Mislukt: 500 Internal Server Error")});
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(m_prompts.seen, QStringList{kWebsiteQuestion});
}

TEST_F(CheckForUpdateTest, FollowsAtMostFiveRedirects)
{
    m_server.redirect(kManifestPath, "/r1", 301);
    m_server.redirect("/r1", m_server.url(QStringLiteral("/r2")).toLatin1(), 302);
    m_server.redirect("/r2", "/r3", 307);
    m_server.redirect("/r3", "/r4", 303);
    m_server.redirect("/r4", "/final", 308);
    m_server.serveFile("/final", manifest("Version=9.2.0.0\r\n"));
    m_server.serveFile(kManifestPath + ".sig", m_key.signatureFile(manifest("Version=9.2.0.0\r\n")));
    EXPECT_TRUE(m_update.CheckForUpdate(true));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_server.requests().size(), 7u); // six for the manifest, one for its signature

    // A sixth redirect is not followed: its page is no manifest, so there is no newer version.
    m_server.redirect("/final", "/te-ver");
    m_server.serveFile("/te-ver", manifest("Version=9.3.0.0\r\n"));
    m_update.Version = QStringLiteral("9.2.0.0");
    EXPECT_FALSE(m_update.CheckForUpdate(true));
    EXPECT_TRUE(m_server.requestsFor("/te-ver").empty());
}

TEST_F(CheckForUpdateTest, GoesThroughTheProxy)
{
    serveSigned(manifest("Version=9.2.0.0\r\n"));
    m_update.UpdateFileURL = QStringLiteral("http://update.vorano.invalid") + QString::fromLatin1(kManifestPath);
    m_update.ProxyAddress = QStringLiteral("127.0.0.1");
    m_update.ProxyPort = QString::number(m_server.port());
    EXPECT_TRUE(m_update.CheckForUpdate(true));
    ASSERT_EQ(m_server.requests().size(), 2u);
    EXPECT_EQ(m_server.requests()[0].target, "http://update.vorano.invalid" + kManifestPath);
    EXPECT_EQ(m_server.requests()[1].target, "http://update.vorano.invalid" + kManifestPath + ".sig");
}

TEST_F(CheckForUpdateTest, EmptyUpdateFileUrlAsksNothingOfTheServer)
{
    m_update.UpdateFileURL.clear();
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList{kNoNewVersion});
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(CheckForUpdateTest, UnsupportedAddressReachesTheCaller)
{
    m_update.UpdateFileURL = QStringLiteral("file:///etc/passwd");
    EXPECT_THROW(m_update.CheckForUpdate(false), TransportError);
    EXPECT_EQ(m_prompts.seen, QStringList());
    // The next check runs normally.
    m_update.UpdateFileURL.clear();
    EXPECT_FALSE(m_update.CheckForUpdate(true));
}

TEST_F(CheckForUpdateTest, OneCheckAtATime)
{
    serveSigned(manifest("Version=9.2.0.0\r\n"));
    bool nested = true;
    TJFCAppUpdate update(
        m_prompts, [&](TJFCAppUpdateNotifyState &) { nested = update.CheckForUpdate(false); }, TestNetwork(), NoStop(), {}, m_key.trust());
    update.Version = m_update.Version;
    update.UpdateFileURL = m_update.UpdateFileURL;
    EXPECT_TRUE(update.CheckForUpdate(false));
    EXPECT_FALSE(nested);
    EXPECT_EQ(m_server.requests().size(), 2u);
    EXPECT_EQ(m_prompts.seen, QStringList());
}

const QString kUntrusted = QStringLiteral(
    "Updatecontrole: het updatebestand is niet ondertekend met een vertrouwde sleutel; er wordt niets gedownload.");
const QString kTooLarge =
    QStringLiteral("Updatecontrole: het updatebestand is groter dan 64 KB en wordt niet gelezen.");

// Manifests that must never be read: each check ends with its one log line (and a message box when the user started
// it), nothing is offered, and nothing beyond the manifest and its signature is asked of the server.
TEST_F(CheckForUpdateTest, UntrustedOrUnusableManifestsAreRefused)
{
    const QByteArray good =
        manifest("Version=9.2.0.0\r\nReadmeFileURL=" + m_server.url(QStringLiteral("/notes.txt")).toLatin1() + "\r\n");
    const TestReleaseKey otherKey;
    const QByteArray big = manifest("Version=9.2.0.0\r\n; " + QByteArray(kMaxManifestBytes, 'x') + "\r\n");
    LocalHttpServer::Response unannounced;
    unannounced.body = big;
    unannounced.sendContentLength = false;

    const struct {
        const char *name;
        LocalHttpServer::Response manifest;
        QByteArray signature; // empty: no signature file on the server
        QString line;
        bool signatureAsked;
    } cases[] = {
        {"unsigned", {200, "OK", {}, good}, {}, kUntrusted, true},
        {"signed by another key", {200, "OK", {}, good}, otherKey.signatureFile(good), kUntrusted, true},
        {"changed after signing",
         {200, "OK", {}, manifest("Version=9.3.0.0\r\n")},
         m_key.signatureFile(good),
         kUntrusted,
         true},
        {"signature of nothing", {200, "OK", {}, good}, m_key.signatureFile(QByteArray()), kUntrusted, true},
        {"signature file not base64", {200, "OK", {}, good}, "geen handtekening\r\n", kUntrusted, true},
        {"signature cut short", {200, "OK", {}, good}, m_key.signatureFile(good).left(40), kUntrusted, true},
        {"over 64 KB", {200, "OK", {}, big}, m_key.signatureFile(big), kTooLarge, false},
        {"over 64 KB without length", unannounced, m_key.signatureFile(big), kTooLarge, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server;
        const QByteArray sigPath = kManifestPath + ".sig";
        server.serve(kManifestPath, c.manifest);
        server.serveFile("/notes.txt", "notities");
        if (!c.signature.isEmpty())
            server.serveFile(sigPath, c.signature);
        m_update.UpdateFileURL = server.url(QString::fromLatin1(kManifestPath));
        expectRefused(c.line);
        EXPECT_TRUE(m_shown.empty());
        EXPECT_EQ(server.requestsFor(sigPath).size(), c.signatureAsked ? 2u : 0u);
        EXPECT_TRUE(server.requestsFor("/notes.txt").empty());
    }
}

// Signed manifests that may still not be read: names another reader would take differently, a value given twice,
// an end date that has passed or is missing. Each is refused with its Dutch line before any value is used.
TEST_F(CheckForUpdateTest, ManifestsBreakingTheRulesAreRefused)
{
    const QByteArray section = "[" + UpdateSectionName.toLatin1() + "]\r\n";
    const QByteArray sha = "SHA256Hash=" + QByteArray(64, 'A') + "\r\n";
    const QString refused = QStringLiteral("; het updatebestand wordt geweigerd.");
    const struct {
        const char *name;
        QByteArray body;
        QString line;
    } cases[] = {
        {"long s in a key name", manifest("Version=9.2.0.0\r\n\xC5\xBFHA256Hash=" + QByteArray(64, 'B') + "\r\n" + sha),
         QStringLiteral("Updatecontrole: de naam \"\u017FHA256Hash\" in het updatebestand bevat andere tekens dan "
                        "ASCII") +
             refused},
        {"Kelvin sign in the section name", "[\xE2\x84\xAA]\r\nVersion=1\r\n" + manifest("Version=9.2.0.0\r\n"),
         QStringLiteral("Updatecontrole: de naam \"\u212A\" in het updatebestand bevat andere tekens dan ASCII") +
             refused},
        {"a key twice", manifest("Version=9.2.0.0\r\nDownloadFileURL=http://a/x.zip\r\nversion=9.3.0.0\r\n"),
         QStringLiteral("Updatecontrole: de sleutel \"version\" staat meer dan eens in de sectie \"[%1]\" van het "
                        "updatebestand")
                 .arg(UpdateSectionName) +
             refused},
        {"the section twice",
         manifest("Version=9.2.0.0\r\n") + "[" + UpdateSectionName.toUpper().toLatin1() + "]\r\nVersion=9.3.0.0\r\n",
         QStringLiteral("Updatecontrole: de sectie \"[%1]\" staat meer dan eens in het updatebestand")
                 .arg(UpdateSectionName.toUpper()) +
             refused},
        {"expired", section + "ValidUntil=2020-01-31T12:00:00Z\r\nVersion=9.2.0.0\r\n",
         QStringLiteral("Updatecontrole: het updatebestand is verlopen op 2020-01-31 12:00:00 UTC") + refused},
        {"no end date", section + "Version=9.2.0.0\r\n",
         QStringLiteral("Updatecontrole: het updatebestand noemt geen geldige einddatum (ValidUntil)") + refused},
        {"end date without zone", section + "ValidUntil=2099-12-31T23:59:59\r\nVersion=9.2.0.0\r\n",
         QStringLiteral("Updatecontrole: het updatebestand noemt geen geldige einddatum (ValidUntil)") + refused},
        {"end date far ahead", section + "ValidUntil=9999-12-31T23:59:59Z\r\nVersion=9.2.0.0\r\n",
         QStringLiteral("Updatecontrole: het updatebestand is geldig tot 9999-12-31 23:59:59 UTC, meer dan een jaar "
                        "vooruit") +
             refused},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        serveSigned(c.body);
        expectRefused(c.line);
        EXPECT_TRUE(m_shown.empty());
    }
}

// Release notes come from wherever the manifest points: they are shown only when the signed manifest names their
// SHA-256; without one they are not even fetched.
TEST_F(CheckForUpdateTest, OnlySignedReleaseNotesAreShown)
{
    const QByteArray notes = "Nieuw: \xE2\x82\xAC-bedragen en &lt;tekst&gt;\r\n";
    const QByteArray url = "ReadmeFileURL=" + m_server.url(QStringLiteral("/notes.txt")).toLatin1() + "\r\n";
    m_server.serveFile("/notes.txt", notes);
    const struct {
        const char *name;
        QByteArray lines;
        QString readme;
        QString line;
        size_t fetched;
    } cases[] = {
        {"signed", url + readmeHash(notes), QString::fromUtf8(notes), {}, 1},
        {"signed, hash in capitals",
         url + readmeHash(notes).toUpper().replace("README", "Readme"),
         QString::fromUtf8(notes),
         {},
         1},
        {"unsigned",
         url,
         {},
         QStringLiteral("Updatecontrole: de release notes zijn niet ondertekend (geen ReadmeSHA256) en worden niet "
                        "getoond."),
         0},
        {"not on a web server",
         "ReadmeFileURL=file:///etc/passwd\r\n" + readmeHash(notes),
         {},
         QStringLiteral("Updatecontrole: het adres van de release notes \"file:///etc/passwd\" is geen webadres; de "
                        "release notes worden niet getoond."),
         0},
        {"other notes",
         url + readmeHash("Installeer de reparatie van http://elders.test/"),
         {},
         QStringLiteral("Updatecontrole: de release notes komen niet overeen met de ondertekende SHA-256 en worden "
                        "niet getoond."),
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server;
        server.serveFile("/notes.txt", notes);
        const QByteArray lines =
            QByteArray(c.lines).replace(m_server.url(QString()).toLatin1(), server.url(QString()).toLatin1());
        const QByteArray body = manifest("Version=9.2.0.0\r\n" + lines);
        server.serveFile(kManifestPath, body);
        server.serveFile(kManifestPath + ".sig", m_key.signatureFile(body));
        m_update.UpdateFileURL = server.url(QString::fromLatin1(kManifestPath));
        m_shown.clear();
        m_log.clear();
        EXPECT_TRUE(m_update.CheckForUpdate(true));
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].readme, c.readme);
        EXPECT_EQ(m_log, c.line.isEmpty() ? QStringList() : QStringList{c.line});
        EXPECT_EQ(server.requestsFor("/notes.txt").size(), c.fetched);
    }
}

TEST_F(CheckForUpdateTest, OnlyANewerVersionOfFourNumbersIsOffered)
{
    const QString invalid = QStringLiteral(
        "Updatecontrole: het versienummer \"%1\" in het updatebestand is ongeldig; er wordt niets aangeboden.");
    const struct {
        const char *own;
        const char *offered;
        bool shown;
        QString line;
    } cases[] = {
        {"9.0.9.1", "9.0.9.2", true, {}},
        {"9.0.9.1", "9.0.10.0", true, {}},
        {"9.0.9.1", "10.0.0.0", true, {}},
        {"9.0.9.1", "9.0.9.1", false, {}},
        {"9.0.9.1", "9.0.9.0", false,
         QStringLiteral("Updatecontrole: versie 9.0.9.0 op de updateserver is ouder dan de ge\u00EFnstalleerde versie "
                        "9.0.9.1 en wordt niet aangeboden.")},
        {"9.0.10.1", "9.0.9.1", false,
         QStringLiteral("Updatecontrole: versie 9.0.9.1 op de updateserver is ouder dan de ge\u00EFnstalleerde versie "
                        "9.0.10.1 en wordt niet aangeboden.")},
        {"9.0.9.1", "9.1", false, invalid.arg(QStringLiteral("9.1"))},
        {"9.0.9.1", "9.0.9.1.1", false, invalid.arg(QStringLiteral("9.0.9.1.1"))},
        {"9.0.9.1", "9.0.9.-1", false, invalid.arg(QStringLiteral("9.0.9.-1"))},
        {"9.0.9.1", "9.0.9.65536", false, invalid.arg(QStringLiteral("9.0.9.65536"))},
        {"", "9.0.9.2", false,
         QStringLiteral(
             "Updatecontrole: de eigen versie \"\" van het programma is onbekend; er wordt niets aangeboden.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.own) + " -> " + c.offered);
        serveSigned(manifest("Version=" + QByteArray(c.offered) + "\r\n"));
        m_update.Version = QString::fromLatin1(c.own);
        m_shown.clear();
        m_log.clear();
        EXPECT_EQ(m_update.CheckForUpdate(true), c.shown);
        EXPECT_EQ(m_shown.size(), c.shown ? 1u : 0u);
        EXPECT_EQ(m_log, c.line.isEmpty() ? QStringList() : QStringList{c.line});
    }
}

TEST_F(CheckForUpdateTest, ReleaseNotesOverOneMegabyteAreNotShown)
{
    serveSigned(manifest("Version=9.2.0.0\r\nReadmeFileURL=" + m_server.url(QStringLiteral("/notes.txt")).toLatin1() +
                         "\r\n" + readmeHash(QByteArray(kMaxReleaseNotesBytes, 'n'))));
    m_server.serveFile("/notes.txt", QByteArray(kMaxReleaseNotesBytes + 1, 'n'));
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].readme, QString());
    EXPECT_EQ(m_log, QStringList{QStringLiteral(
                         "Updatecontrole: de release notes zijn groter dan 1 MB en worden niet getoond.")});

    // Exactly the limit is fine.
    m_server.serveFile("/notes.txt", QByteArray(kMaxReleaseNotesBytes, 'n'));
    m_shown.clear();
    m_log.clear();
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].readme.size(), kMaxReleaseNotesBytes);
    EXPECT_EQ(m_log, QStringList());
}

TEST_F(CheckForUpdateTest, TheProgramTrustsOnlyItsBuiltInKeys)
{
    // A release signed with a key of one's own is refused by a component with the program's trust.
    serveSigned(manifest("Version=9.2.0.0\r\n"));
    TJFCAppUpdate update(
        m_prompts, [this](TJFCAppUpdateNotifyState &s) { m_shown.push_back(s); }, TestNetwork(), NoStop(),
        [this](const QString &line) { m_log << line; });
    update.Version = m_update.Version;
    update.UpdateFileURL = m_update.UpdateFileURL;
    EXPECT_FALSE(update.CheckForUpdate(true));
    EXPECT_EQ(m_log, QStringList{kUntrusted});
    EXPECT_TRUE(m_shown.empty());
    for (const QByteArray &key : BuiltInReleaseKeys())
        EXPECT_EQ(key.size(), kEd25519KeySize);
    EXPECT_FALSE(BuiltInReleaseKeys().isEmpty());
    EXPECT_FALSE(BuiltInReleaseKeys().contains(m_key.pair.publicKey));

    // The program's own addresses are https.
    ConfigureMainWindowUpdate(update, QStringLiteral("9.0.9.1"));
    EXPECT_TRUE(update.UpdateFileURL.startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(update.UpdateFileURL.endsWith(QStringLiteral("/liveupdate/VoranoOstrel/Updates.txt")));
    EXPECT_TRUE(update.UpdatePageURL.startsWith(QStringLiteral("https://")));
}

TEST_F(CheckForUpdateTest, SeveralKeysAreTrustedForARollover)
{
    const TestReleaseKey next;
    TJFCAppUpdate update(
        m_prompts, [this](TJFCAppUpdateNotifyState &s) { m_shown.push_back(s); }, TestNetwork(), NoStop(), {},
        UpdateTrust{{next.pair.publicKey, m_key.pair.publicKey}, {}});
    update.Version = m_update.Version;
    update.UpdateFileURL = m_update.UpdateFileURL;
    for (const TestReleaseKey *signer : {static_cast<const TestReleaseKey *>(&m_key), &next}) {
        const QByteArray body = manifest("Version=9.2.0.0\r\n");
        m_server.serveFile(kManifestPath, body);
        m_server.serveFile(kManifestPath + ".sig", signer->signatureFile(body));
        m_shown.clear();
        EXPECT_TRUE(update.CheckForUpdate(true));
        EXPECT_EQ(m_shown.size(), 1u);
    }
}

// A server that trickles one byte at a time never trips the no-progress limit: the overall limit ends the request.
// Meanwhile no event of the caller's thread is handled, so a second check cannot start inside the first.
TEST_F(CheckForUpdateTest, SlowServerNeitherFreezesNorHoldsTheCheckForEver)
{
    LocalHttpServer::Response trickle;
    trickle.body = manifest("Version=9.2.0.0\r\n") + QByteArray(200, ';');
    trickle.trickleMs = 100;
    m_server.serve(kManifestPath, trickle);
    m_update.transferTimeoutMs = 5000;
    m_update.overallTimeoutMs = 1500;

    int ticks = 0;
    bool nested = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 3)
            nested = m_update.CheckForUpdate(false);
    });
    timer.start(50);
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    timer.stop();

    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(nested) << "not run";
    EXPECT_EQ(m_server.requestsFor(kManifestPath).size(), 1u);
    EXPECT_TRUE(m_server.requestsFor(kManifestPath + ".sig").empty());
    EXPECT_EQ(m_log, QStringList{QStringLiteral("Updatecontrole: Mislukt: 404 Geen antwoord binnen 1 seconden")});
    EXPECT_EQ(m_prompts.seen, QStringList{kWebsiteQuestion});
}

TEST_F(CheckForUpdateTest, HttpsWithCertificateChecksAndNoWayBackToHttp)
{
    LocalHttpServer tls;
    ASSERT_TRUE(tls.useTls(readUpdateTestFile("update-127.0.0.1.crt"), readUpdateTestFile("update-127.0.0.1.key")));
    const QByteArray body = manifest("Version=9.2.0.0\r\n");
    tls.serveFile(kManifestPath, body);
    tls.serveFile(kManifestPath + ".sig", m_key.signatureFile(body));
    const QString httpsManifest = tls.url(QString::fromLatin1(kManifestPath));
    ASSERT_TRUE(httpsManifest.startsWith(QStringLiteral("https://")));

    // A certificate the program does not know: the request fails like an unreachable server.
    m_update.UpdateFileURL = httpsManifest;
    EXPECT_FALSE(m_update.CheckForUpdate(true));
    EXPECT_TRUE(m_shown.empty());
    ASSERT_EQ(m_log.size(), 1);
    EXPECT_TRUE(m_log[0].startsWith(QStringLiteral("Updatecontrole: Mislukt: 404 SSL handshake failed")))
        << m_log[0].toStdString();
    EXPECT_TRUE(tls.requests().empty());

    // With the certificate trusted the manifest is read over https.
    UpdateTrust trust = m_key.trust();
    trust.extraCaCertificates = QSslCertificate::fromData(readUpdateTestFile("update-127.0.0.1.crt"));
    ASSERT_EQ(trust.extraCaCertificates.size(), 1);
    TJFCAppUpdate update(
        m_prompts, [this](TJFCAppUpdateNotifyState &s) { m_shown.push_back(s); }, TestNetwork(), NoStop(),
        [this](const QString &line) { m_log << line; }, trust);
    update.Version = m_update.Version;
    update.UpdateFileURL = httpsManifest;
    m_log.clear();
    EXPECT_TRUE(update.CheckForUpdate(true));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].extraCaCertificates, trust.extraCaCertificates); // the download trusts the same
    EXPECT_EQ(m_log, QStringList());

    // A redirect from https to plain http is refused, even to a signed manifest.
    serveSigned(body);
    tls.redirect("/verhuisd", m_server.url(QString::fromLatin1(kManifestPath)).toLatin1());
    update.UpdateFileURL = tls.url(QStringLiteral("/verhuisd"));
    m_shown.clear();
    try {
        update.CheckForUpdate(true);
        ADD_FAILURE() << "the redirect was followed";
    } catch (const TransportError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Doorverwijzing van https naar een onbeveiligd adres")))
            << e.message().toStdString();
    }
    EXPECT_TRUE(m_shown.empty());
    EXPECT_TRUE(m_server.requests().empty());
}

} // namespace
