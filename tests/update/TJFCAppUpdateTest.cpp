#include "update/TJFCAppUpdate.h"
#include "ScriptedUpdatePrompts.h"
#include "base/VoranoError.h"
#include "support/LocalHttpServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

const QByteArray kManifestPath = "/liveupdate/VoranoOstrel/Updates.txt";
const QString kCompanyPage = QStringLiteral("http://www.vorano.test/");
const QString kNoNewVersion = QStringLiteral("information: Er is geen nieuwe versie beschikbaar.");
const QString kWebsiteQuestion =
    QStringLiteral("question: Er is geen nieuwe versie beschikbaar.\rWenst u de website te openen?");

class CheckForUpdateTest : public ::testing::Test
{
  protected:
    CheckForUpdateTest()
        : m_update(m_prompts, [this](TJFCAppUpdateNotifyState &s) { m_shown.push_back(s); })
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

    QByteArray manifest(const QByteArray &lines) const
    {
        return "[Ander]\r\nVersion=99\r\n[" + UpdateSectionName.toLatin1() + "]\r\n" + lines;
    }

    LocalHttpServer m_server;
    ScriptedUpdatePrompts m_prompts;
    std::vector<TJFCAppUpdateNotifyState> m_shown;
    TJFCAppUpdate m_update;
    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
};

TEST_F(CheckForUpdateTest, EqualVersionIsNotNewer)
{
    m_server.serveFile(kManifestPath, manifest("Version=9.0.9.1\r\n"));
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList{kNoNewVersion});
    EXPECT_TRUE(m_shown.empty());

    m_prompts.seen.clear();
    EXPECT_FALSE(m_update.CheckForUpdate(true));
    EXPECT_EQ(m_prompts.seen, QStringList());

    const auto requests = m_server.requestsFor(kManifestPath);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("User-Agent"), "Mozilla/4.0 (compatible; ICS)");
    EXPECT_EQ(requests[0].header("Accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(requests[0].header("Pragma"), "no-cache");
}

TEST_F(CheckForUpdateTest, NewerVersionShowsTheDialogWithReleaseNotes)
{
    m_update.Version = QStringLiteral("9.0.10.1"); // ordinally smaller than 9.0.9.1
    m_update.HashType = THashType::SHA1;
    m_update.FileSizeUnit = TJFCAppUpdateFileSizeUnit::MegaBytes;
    m_server.serveFile(kManifestPath, manifest("version=9.0.9.1\r\nDownloadFileURL=http://x/VoranoOstrel.zip\r\n"
                                               "ReadmeFileURL=" +
                                               m_server.url(QStringLiteral("/notes.txt")).toLatin1() +
                                               "\r\nSHA1Hash=ABC\r\nUpdatePageURL=http://eigen.test/\r\n"));
    m_server.serveFile("/notes.txt", "\xEF\xBB\xBFNieuw in deze versie:\r\n- Cli\xC3\xABnt\r\n");
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList());
    ASSERT_EQ(m_shown.size(), 1u);
    const TJFCAppUpdateNotifyState &s = m_shown[0];
    EXPECT_EQ(s.manifest.Version, QStringLiteral("9.0.9.1"));
    EXPECT_EQ(s.manifest.DownloadFileURL, QStringLiteral("http://x/VoranoOstrel.zip"));
    EXPECT_EQ(s.manifest.SHA1Hash, QStringLiteral("ABC"));
    EXPECT_EQ(s.manifest.UpdatePageURL, QStringLiteral("http://eigen.test/"));
    EXPECT_EQ(s.readme, QStringLiteral("Nieuw in deze versie:\r\n- Cli\u00EBnt\r\n"));
    EXPECT_TRUE(s.downloadEnabled);
    EXPECT_EQ(s.HashType, THashType::SHA1);
    EXPECT_EQ(s.FileSizeUnit, TJFCAppUpdateFileSizeUnit::MegaBytes);
}

TEST_F(CheckForUpdateTest, NewerVersionWithoutDownloadAndFailedNotes)
{
    m_server.serveFile(kManifestPath, manifest("Version=9.1\r\nReadmeFileURL=" +
                                               m_server.url(QStringLiteral("/weg.txt")).toLatin1() + "\r\n"));
    EXPECT_TRUE(m_update.CheckForUpdate(false));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_FALSE(m_shown[0].downloadEnabled);
    EXPECT_EQ(m_shown[0].readme, QStringLiteral("Mislukt: 404 Not Found"));
    EXPECT_EQ(m_shown[0].manifest.UpdatePageURL, kCompanyPage);
}

TEST_F(CheckForUpdateTest, MissingSqlVersionRefusesTheUpdate)
{
    m_server.serveFile(kManifestPath, manifest("Version=9.1\r\nSQLVersion=12\r\n"));
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

TEST_F(CheckForUpdateTest, ManifestWithoutOurSectionOffersTheWebsite)
{
    m_server.serveFile(kManifestPath, "[Ander]\r\nVersion=99\r\n");
    EXPECT_FALSE(m_update.CheckForUpdate(false));
    EXPECT_EQ(m_prompts.seen, QStringList{kWebsiteQuestion});
}

TEST_F(CheckForUpdateTest, UnauthorisedBodyIsReadAsTheManifest)
{
    for (int status : {401, 407}) {
        LocalHttpServer::Response r;
        r.status = status;
        r.reason = "Unauthorized";
        r.body = manifest("Version=9.2\r\n");
        m_server.serve(kManifestPath, r);
        m_shown.clear();
        EXPECT_TRUE(m_update.CheckForUpdate(false)) << status;
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].manifest.Version, QStringLiteral("9.2"));
    }
}

TEST_F(CheckForUpdateTest, ServerErrorIsAFailure)
{
    LocalHttpServer::Response r;
    r.status = 500;
    r.reason = "Internal Server Error";
    r.body = manifest("Version=9.2\r\n");
    m_server.serve(kManifestPath, r);
    EXPECT_FALSE(m_update.CheckForUpdate(false));
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
    m_server.serveFile("/final", manifest("Version=9.2\r\n"));
    EXPECT_TRUE(m_update.CheckForUpdate(true));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_server.requests().size(), 6u);

    // A sixth redirect is not followed: its page is no manifest, so there is no newer version.
    m_server.redirect("/final", "/te-ver");
    m_server.serveFile("/te-ver", manifest("Version=9.3\r\n"));
    EXPECT_FALSE(m_update.CheckForUpdate(true));
    EXPECT_TRUE(m_server.requestsFor("/te-ver").empty());
}

TEST_F(CheckForUpdateTest, GoesThroughTheProxy)
{
    m_server.serveFile(kManifestPath, manifest("Version=9.2\r\n"));
    m_update.UpdateFileURL = QStringLiteral("http://update.vorano.invalid") + QString::fromLatin1(kManifestPath);
    m_update.ProxyAddress = QStringLiteral("127.0.0.1");
    m_update.ProxyPort = QString::number(m_server.port());
    EXPECT_TRUE(m_update.CheckForUpdate(true));
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(m_server.requests()[0].target, "http://update.vorano.invalid" + kManifestPath);
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
    m_server.serveFile(kManifestPath, manifest("Version=9.2\r\n"));
    bool nested = true;
    TJFCAppUpdate update(m_prompts, [&](TJFCAppUpdateNotifyState &) { nested = update.CheckForUpdate(false); });
    update.Version = m_update.Version;
    update.UpdateFileURL = m_update.UpdateFileURL;
    EXPECT_TRUE(update.CheckForUpdate(false));
    EXPECT_FALSE(nested);
    EXPECT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(m_prompts.seen, QStringList());
}

} // namespace
