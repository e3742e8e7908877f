#include "ScriptedUpdatePrompts.h"
#include "TestReleaseKey.h"
#include "base/AbortToken.h"
#include "support/LocalHttpServer.h"
#include "support/TempProgramDir.h"
#include "support/TestNetwork.h"
#include "update/TJFCAppUpdate.h"
#include "update/TJFCAppUpdateDownloadBox.h"
#include "update/TJFCAppUpdateNotifyBox.h"
#include "update/UpdateControle.h"
#include "update/UpdateHttpClient.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <optional>

namespace
{

// Known check values of this text.
const QByteArray kBody = "The quick brown fox jumps over the lazy dog";
const QString kCrc32 = QStringLiteral("414FA339");
const QString kMd5 = QStringLiteral("9E107D9D372BB6826BD81D3542A419D6");
const QString kSha1 = QStringLiteral("2FD4E1C67A2D28FCED849EE1BB76E7391B93EB12");
const QString kSha256 = QStringLiteral("D7A8FBB307D7809469CA9ABCB0082E4F8D5651E46D3CDB762D02D0BF37C9E592");
const QByteArray kFilePath = "/files/VoranoOstrel.zip";
const QString kStarting = QStringLiteral("information: Taxis Vorano\u00AE LiveUpdate gaat nu starten");

class UpdateDownloadTest : public ::testing::Test
{
  protected:
    UpdateDownloadTest()
    {
        m_server.serveFile(kFilePath, kBody);
        m_state.manifest.DownloadFileURL = m_server.url(QString::fromLatin1(kFilePath));
        m_state.manifest.UpdatePageURL = QStringLiteral("http://www.vorano.test/");
        m_state.manifest.SHA256Hash = kSha256;
        m_state.downloadEnabled = true;
        m_state.programFolder = m_dir.path();
        m_state.network = &TestNetwork();
        m_state.stop = &m_stop;
        QFile updater(m_dir.path() + QLatin1Char('/') + UpdaterFileName());
        EXPECT_TRUE(updater.open(QIODevice::WriteOnly));
        updater.write("#!/bin/sh\n");
        updater.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString target() const { return m_dir.path() + QStringLiteral("/TempDownloads/VoranoOstrel.zip"); }
    QString updaterStart() const
    {
        return QStringLiteral("start: ") + m_dir.path() + QStringLiteral("/VoranoUpdater ") + target();
    }

    // Runs the download as the button does.
    void download()
    {
        TJFCAppUpdateNotifyBox box(m_state, m_prompts, [this](const QString &m) { m_log << m; });
        box.transferTimeoutMs = 10000;
        box.DownloadButton->click();
    }

    AbortToken m_stop;
    TempProgramDir m_dir;
    LocalHttpServer m_server;
    ScriptedUpdatePrompts m_prompts;
    TJFCAppUpdateNotifyState m_state;
    QStringList m_log;
};

TEST_F(UpdateDownloadTest, HandsAVerifiedFileToTheUpdater)
{
    const struct {
        THashType type;
        QString crc32, md5, sha1;
        bool good;
    } cases[] = {
        {THashType::None, QStringLiteral("onzin"), {}, {}, true},
        {THashType::CRC32, kCrc32, {}, {}, true},
        {THashType::CRC32, QStringLiteral("414FA338"), {}, {}, false},
        {THashType::CRC32, kCrc32.toLower(), {}, {}, false},
        {THashType::MD5, {}, kMd5, {}, true},
        {THashType::MD5, {}, kMd5.toLower(), {}, false},
        {THashType::MD5, kCrc32, {}, kSha1, false},
        {THashType::SHA1, {}, {}, kSha1, true},
        {THashType::SHA1, {}, {}, kSha1.toLower(), false},
        {THashType::SHA1, {}, {}, QString(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.type));
        m_state.HashType = c.type;
        m_state.manifest.CRC32Hash = c.crc32;
        m_state.manifest.MD5Hash = c.md5;
        m_state.manifest.SHA1Hash = c.sha1;
        m_prompts.seen.clear();
        QFile::remove(target());
        download();
        if (c.good) {
            EXPECT_EQ(m_prompts.seen, QStringList({kStarting, updaterStart(), QStringLiteral("terminate")}));
            EXPECT_EQ(m_dir.read(QStringLiteral("TempDownloads/VoranoOstrel.zip")), kBody);
        } else {
            EXPECT_EQ(m_prompts.seen, QStringList{QStringLiteral("error: De download is beschadigd.")});
            EXPECT_FALSE(QFile::exists(target()));
        }
    }
    EXPECT_EQ(m_log, QStringList());
    const auto requests = m_server.requestsFor(kFilePath);
    ASSERT_EQ(requests.size(), 2u * std::size(cases));
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].header("User-Agent"), "Mozilla/4.0 (compatible; ICS)");
}

TEST_F(UpdateDownloadTest, DialogShowsTheFinishedTransfer)
{
    // Through the proxy (the test server answers absolute requests too).
    m_state.proxyHost = QStringLiteral("127.0.0.1");
    m_state.proxyPort = QString::number(m_server.port());
    m_state.manifest.DownloadFileURL = QStringLiteral("http://update.vorano.invalid") + QString::fromLatin1(kFilePath);
    QStringList texts;
    // Read the download dialog just before it is freed: at the information message.
    struct Peek : ScriptedUpdatePrompts {
        QStringList *texts;
        void information(const QString &text) override
        {
            ScriptedUpdatePrompts::information(text);
            *texts << DownloadBox->FileLabel->text() << DownloadBox->StatusLabel->text()
                   << DownloadBox->TransferLabel->text() << QString::number(DownloadBox->ProgressBar1->value())
                   << QString::number(DownloadBox->CancelButton->isEnabled());
        }
    } peek;
    peek.texts = &texts;
    TJFCAppUpdateNotifyBox proxied(m_state, peek, {});
    proxied.DownloadButtonClick();
    EXPECT_EQ(texts,
              QStringList({QStringLiteral("VoranoOstrel.zip"),
                           QStringLiteral("Download bestand via proxy server (127.0.0.1:%1)").arg(m_server.port()),
                           QStringLiteral("43 B of 43 B (100%)"), QStringLiteral("43"), QStringLiteral("0")}));
    EXPECT_EQ(m_server.requests()[0].target, "http://update.vorano.invalid" + kFilePath);
    EXPECT_EQ(DownloadBox, nullptr);
}

TEST_F(UpdateDownloadTest, NoUsableSizeMeansNoDownload)
{
    const auto noLength = [] {
        LocalHttpServer::Response r;
        r.body = kBody;
        r.sendContentLength = false;
        return r;
    }();
    const auto tooLarge = [] {
        LocalHttpServer::Response r;
        r.body = kBody;
        r.headContentLength = 3000000000LL;
        return r;
    }();
    const auto missing = [] {
        LocalHttpServer::Response r;
        r.status = 404;
        r.reason = "Not Found";
        return r;
    }();
    for (const auto &response : {noLength, tooLarge, missing}) {
        m_server.serve(kFilePath, response);
        download();
        EXPECT_EQ(m_prompts.seen, QStringList());
        EXPECT_EQ(m_dir.files(QStringLiteral("TempDownloads")), QStringList()); // the empty file does not stay
    }
    for (const auto &r : m_server.requests())
        EXPECT_EQ(r.method, "HEAD");
}

TEST_F(UpdateDownloadTest, IncompleteTransferIsNeverHandedOver)
{
    LocalHttpServer::Response shortBody; // the connection ends before the announced length
    shortBody.body = kBody.left(20);
    shortBody.announcedLength = kBody.size();
    LocalHttpServer::Response shortWithoutLength; // the size query announced more than arrives
    shortWithoutLength.body = kBody.left(20);
    shortWithoutLength.sendContentLength = false;
    shortWithoutLength.headContentLength = kBody.size();
    LocalHttpServer::Response failing; // HEAD fine, GET refused
    failing.status = 503;
    failing.reason = "Service Unavailable";
    failing.headContentLength = kBody.size();
    for (const auto &response : {shortBody, shortWithoutLength}) {
        m_server.serve(kFilePath, response);
        download();
        EXPECT_EQ(m_prompts.seen, QStringList());
        EXPECT_FALSE(QFile::exists(target()));
    }
    // A refused GET: HEAD requests of a 503 are refused too, so no download starts at all.
    m_server.serve(kFilePath, failing);
    download();
    EXPECT_EQ(m_prompts.seen, QStringList());
    EXPECT_FALSE(QFile::exists(target()));
}

TEST_F(UpdateDownloadTest, CancelledDownload)
{
    LocalHttpServer::Response slow;
    slow.body = QByteArray(200000, 'v');
    slow.stallAfter = 1000;
    m_server.serve(kFilePath, slow);
    m_prompts.answers = {true};
    m_server.onStalled = [] {
        QMetaObject::invokeMethod(
            qApp, [] { DownloadBox->CancelButtonClick(); }, Qt::QueuedConnection);
    };
    download();
    EXPECT_EQ(m_prompts.seen, QStringList({QStringLiteral("question: Deze software update afbreken?"),
                                           QStringLiteral("error: De software update werd afgebroken.")}));
    EXPECT_FALSE(QFile::exists(target()));
}

TEST_F(UpdateDownloadTest, MissingTempDownloadsGoesToTheLog)
{
    QDir(m_dir.path() + QStringLiteral("/TempDownloads")).removeRecursively();
    download();
    ASSERT_EQ(m_log.size(), 1);
    EXPECT_TRUE(m_log[0].startsWith(QStringLiteral("Kan bestand \"\" niet aanmaken")));
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(UpdateDownloadTest, DialogsAndTheirButtons)
{
    TJFCAppUpdateNotifyBox box(m_state, m_prompts, {});
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Er is een nieuwe versie van de software beschikbaar"));
    EXPECT_EQ(box.DownloadButton->text(), QStringLiteral("Download en installeer de update"));
    EXPECT_EQ(box.OpenWebPageButton->text(), QStringLiteral("Extra download informatie"));
    EXPECT_EQ(box.ButtonSluiten->text(), QStringLiteral("Sluiten"));
    box.OpenWebPageButton->click();
    m_state.manifest.UpdatePageURL = QStringLiteral("file:///bin/sh");
    box.OpenWebPageButton->click();
    EXPECT_EQ(m_prompts.seen, QStringList{QStringLiteral("open: http://www.vorano.test/")});
    m_state.downloadEnabled = false;
    TJFCAppUpdateNotifyBox withoutDownload(m_state, m_prompts, {});
    EXPECT_FALSE(withoutDownload.DownloadButton->isEnabled());

    m_prompts.seen.clear();
    TJFCAppUpdateDownloadBox download(m_prompts, TestNetwork(), m_stop);
    EXPECT_EQ(download.windowTitle(), QStringLiteral("Download nieuwe versie"));
    QStringList labels;
    for (QLabel *l : {download.Label1, download.Label2, download.Label4, download.Label5, download.Label6,
                      download.Label9, download.FileLabel, download.SpeedLabel, download.StatusLabel,
                      download.ElapsedTimeLabel, download.RemainingTimeLabel, download.TransferLabel})
        labels << l->text();
    EXPECT_EQ(labels, QStringList({"Bestand:", "Snelheid:", "Status :", "Verstreken tijd :", "Resterende tijd :",
                                   "Overdracht :", "-", "0 KB/sec", "Downloading file", "00:00:00", "00:00:00",
                                   "0 KB of 0 KB"}));
    EXPECT_EQ(download.CancelButton->text(), QStringLiteral("AFBREKEN"));
    // The labels show server texts (status, file name): none of them guesses the text format.
    for (const QDialog *dialog : std::initializer_list<const QDialog *>{&box, &download})
        for (const QLabel *l : dialog->findChildren<QLabel *>())
            EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->objectName().toStdString();
    EXPECT_EQ(download.Timer1->interval(), 1000);
    // Enter presses the default button, which asks before it cancels; "Nee" keeps the download going.
    download.show();
    QTest::keyClick(&download, Qt::Key_Return);
    EXPECT_EQ(m_prompts.seen, QStringList{QStringLiteral("question: Deze software update afbreken?")});
    EXPECT_TRUE(download.CancelButton->isEnabled());
}

// Downloads that are never handed to the updater: each leaves one log line and nothing in TempDownloads.
TEST_F(UpdateDownloadTest, RefusedDownloads)
{
    const QString badName = QStringLiteral("Update: de bestandsnaam \"%1\" is ongeldig; er wordt niets gedownload.");
    const QString noChecksum = QStringLiteral(
        "Update: het updatebestand noemt geen geldige SHA-256 van de download; er wordt niets gedownload.");
    const QString tampered = QStringLiteral("Update: de download komt niet overeen met de ondertekende SHA-256 en is "
                                            "verwijderd; de update wordt niet gestart.");
    const QString oversized =
        QStringLiteral("Update: de download is groter dan de aangekondigde 43 bytes en is verwijderd.");
    const QString corruptBox = QStringLiteral("error: De download is beschadigd.");

    LocalHttpServer::Response more; // the size query announces 43 bytes, 1 MB arrives
    more.body = QByteArray(1 << 20, 'm');
    more.headContentLength = kBody.size();
    LocalHttpServer::Response moreUnannounced = more; // the same without a length on the GET
    moreUnannounced.sendContentLength = false;
    LocalHttpServer::Response changed; // same size, other bytes
    changed.body = QByteArray(kBody).replace("fox", "cat");

    const struct {
        const char *name;
        QString fileUrlPath; // the part after the server's address; empty: the usual file
        QString sha256;
        std::optional<LocalHttpServer::Response> response;
        QString line;
        QStringList prompts;
        bool requested;
    } cases[] = {
        {"backslashes up",
         QStringLiteral("/files/x\\..\\..\\VoranoUpdater.exe"),
         kSha256,
         {},
         badName.arg(QStringLiteral("x\\..\\..\\VoranoUpdater.exe")),
         {},
         false},
        {"dot dot", QStringLiteral("/files/.."), kSha256, {}, badName.arg(QStringLiteral("..")), {}, false},
        {"hidden", QStringLiteral("/files/.bashrc"), kSha256, {}, badName.arg(QStringLiteral(".bashrc")), {}, false},
        {"drive",
         QStringLiteral("/files/c:VoranoUpdater.exe"),
         kSha256,
         {},
         badName.arg(QStringLiteral("c:VoranoUpdater.exe")),
         {},
         false},
        {"control character",
         QStringLiteral("/files/a\tb.zip"),
         kSha256,
         {},
         badName.arg(QStringLiteral("a\tb.zip")),
         {},
         false},
        {"no name", QStringLiteral("/files/"), kSha256, {}, badName.arg(QString()), {}, false},
        {"no checksum", {}, QString(), {}, noChecksum, {}, false},
        {"checksum too short", {}, kSha256.left(63), {}, noChecksum, {}, false},
        {"tampered", {}, kSha256, changed, tampered, {corruptBox}, true},
        {"checksum of something else", {}, kSha256.left(63) + QLatin1Char('0'), {}, tampered, {corruptBox}, true},
        {"more than announced", {}, kSha256, more, oversized, {}, true},
        {"more than announced, no length", {}, kSha256, moreUnannounced, oversized, {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server;
        server.serve(kFilePath, c.response.value_or(LocalHttpServer::Response{200, "OK", {}, kBody}));
        m_state.manifest.DownloadFileURL =
            c.fileUrlPath.isEmpty() ? server.url(QString::fromLatin1(kFilePath)) : server.url(c.fileUrlPath);
        m_state.manifest.SHA256Hash = c.sha256;
        m_log.clear();
        m_prompts.seen.clear();
        download();
        EXPECT_EQ(m_log, QStringList{c.line});
        EXPECT_EQ(m_prompts.seen, c.prompts);
        EXPECT_EQ(m_dir.files(QStringLiteral("TempDownloads")), QStringList());
        EXPECT_EQ(m_dir.files(QString()), QStringList{UpdaterFileName()}); // nothing beside the updater
        EXPECT_EQ(server.requests().empty(), !c.requested);
    }
}

TEST_F(UpdateDownloadTest, ChecksumLetterCaseDoesNotMatter)
{
    m_state.manifest.SHA256Hash = kSha256.toLower();
    download();
    EXPECT_EQ(m_prompts.seen, QStringList({kStarting, updaterStart(), QStringLiteral("terminate")}));
    EXPECT_EQ(m_log, QStringList());
}

// The hand-over: the updater must be there before anything is downloaded, the file is checked again just before it is
// handed over (the message before it may stand open for long), in a folder of this program alone, and the path goes
// over as one argument.
TEST_F(UpdateDownloadTest, HandOverStartsOnlyTheVerifiedFile)
{
    const QString updater = m_dir.path() + QStringLiteral("/VoranoUpdater");
    const QString noUpdater = QStringLiteral("Update: het hulpprogramma %1 ontbreekt of is niet uitvoerbaar; de update "
                                             "wordt niet uitgevoerd.")
                                  .arg(updater);
    const QString changed = QStringLiteral("Update: het gedownloade bestand is na de controle gewijzigd of vervangen "
                                           "en is verwijderd; de update wordt niet gestart.");
    struct AtTheMessage : ScriptedUpdatePrompts {
        std::function<void()> act;
        bool started = true;
        void information(const QString &text) override
        {
            ScriptedUpdatePrompts::information(text);
            if (act)
                act();
        }
        bool startDetached(const QString &program, const QStringList &arguments) override
        {
            ScriptedUpdatePrompts::startDetached(program, arguments);
            return started;
        }
    };
    const auto swap = [this] {
        QFile::remove(target());
        QFile f(target());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(kBody).replace("fox", "cat"));
    };
    const auto rewriteInPlace = [this] {
        QFile f(target());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("X");
    };
    const auto link = [this] {
        QFile::remove(target());
        QFile::link(QStringLiteral("/bin/sh"), target());
    };
    const auto removeUpdater = [updater] { QFile::remove(updater); };

    const struct {
        const char *name;
        std::function<void()> atMessage;
        bool startSucceeds;
        QStringList prompts;
        QString line;
        bool fileStays;
    } cases[] = {
        {"verified", {}, true, {kStarting, updaterStart(), QStringLiteral("terminate")}, {}, true},
        {"swapped while the message was open", swap, true, {kStarting}, changed, false},
        {"changed in place", rewriteInPlace, true, {kStarting}, changed, false},
        {"replaced by a link", link, true, {kStarting}, changed, false},
        {"updater gone meanwhile", removeUpdater, true, {kStarting}, noUpdater, false},
        {"updater does not start",
         {},
         false,
         {kStarting, updaterStart()},
         QStringLiteral("Update: het hulpprogramma %1 kon niet worden gestart; het programma blijft actief.")
             .arg(updater),
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (!QFile::exists(updater)) {
            QFile u(updater);
            ASSERT_TRUE(u.open(QIODevice::WriteOnly));
            u.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        AtTheMessage prompts;
        prompts.act = c.atMessage;
        prompts.started = c.startSucceeds;
        m_log.clear();
        {
            TJFCAppUpdateNotifyBox box(m_state, prompts, [this](const QString &m) { m_log << m; });
            box.DownloadButtonClick();
        }
        EXPECT_EQ(prompts.seen, c.prompts);
        EXPECT_EQ(m_log, c.line.isEmpty() ? QStringList() : QStringList{c.line});
        EXPECT_EQ(QFileInfo::exists(target()) || QFileInfo(target()).isSymLink(), c.fileStays);
        // Only this program's user may write where the file waits.
        EXPECT_EQ(QFileInfo(m_dir.path() + QStringLiteral("/TempDownloads")).permissions(),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser |
                      QFileDevice::WriteUser | QFileDevice::ExeUser);
        QFile::remove(target());
    }

    // Without the updater nothing is downloaded and nobody is asked anything; the program goes on.
    QFile::remove(updater);
    m_prompts.seen.clear();
    m_log.clear();
    const size_t before = m_server.requests().size();
    download();
    EXPECT_EQ(m_prompts.seen, QStringList());
    EXPECT_EQ(m_log, QStringList{noUpdater});
    EXPECT_EQ(m_server.requests().size(), before);
}

// A size in the signed manifest must be the size the server announces.
TEST_F(UpdateDownloadTest, SignedSizeMustMatchTheAnnouncedOne)
{
    m_state.manifest.FileSize = QString::number(kBody.size() + 1);
    download();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("Update: de server kondigt 43 bytes aan, het updatebestand noemt 44 "
                                                "bytes; er wordt niets gedownload.")});
    EXPECT_EQ(m_prompts.seen, QStringList());
    EXPECT_FALSE(QFile::exists(target()));
    EXPECT_EQ(m_server.requestsFor(kFilePath).size(), 1u); // the size query only

    m_log.clear();
    m_state.manifest.FileSize = QString::number(kBody.size());
    download();
    EXPECT_EQ(m_log, QStringList());
    EXPECT_EQ(m_prompts.seen, QStringList({kStarting, updaterStart(), QStringLiteral("terminate")}));
}

// Closing the program while the download waits: the request ends at once, nothing is started or shown, and the
// file is gone.
TEST_F(UpdateDownloadTest, ClosingDuringTheDownloadStartsNothing)
{
    LocalHttpServer::Response slow;
    slow.body = QByteArray(200000, 'v');
    slow.stallAfter = 1000;
    m_server.serve(kFilePath, slow);
    m_server.onStalled = [this] {
        QMetaObject::invokeMethod(
            qApp, [this] { m_stop.trip(); }, Qt::QueuedConnection);
    };
    download();
    EXPECT_EQ(m_prompts.seen, QStringList());
    EXPECT_FALSE(QFile::exists(target()));
    // Once closing, no request goes out any more.
    m_server.serve(kFilePath, LocalHttpServer::Response{200, "OK", {}, kBody});
    const size_t before = m_server.requests().size();
    download();
    EXPECT_EQ(m_server.requests().size(), before);
    EXPECT_EQ(m_prompts.seen, QStringList());
}

class UpdateControleTest : public UpdateDownloadTest
{
  protected:
    UpdateControleTest()
        : m_update(
              m_prompts,
              [this](TJFCAppUpdateNotifyState &s) {
                  TJFCAppUpdateNotifyBox box(s, m_prompts, [this](const QString &m) { m_log << m; });
                  box.DownloadButton->click(); // the user downloads at once
              },
              TestNetwork(), m_stop,
              [this](const QString &m) { m_log << m; }, m_key.trust())
    {
        m_update.ProgramFile = m_dir.path() + QStringLiteral("/VoranoOstrel");
        QFile program(m_update.ProgramFile);
        EXPECT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("programma");
        program.close();
        m_update.Version = QStringLiteral("1.0.0.1");
        m_update.UpdateFileURL = m_server.url(QStringLiteral("/liveupdate/VoranoOstrel/Updates.txt"));
    }
    void serveManifest(const QByteArray &body)
    {
        m_server.serveFile("/liveupdate/VoranoOstrel/Updates.txt", body);
        m_server.serveFile("/liveupdate/VoranoOstrel/Updates.txt.sig", m_key.signatureFile(body));
    }

    TestReleaseKey m_key;
    TJFCAppUpdate m_update;
};

TEST_F(UpdateControleTest, BacksUpThenDownloadsTheNewVersion)
{
    // A signed release: offered, downloaded, verified against the signed SHA-256 (and the MD5) and handed over.
    serveManifest("[" + UpdateSectionName.toLatin1() + "]\r\nVersion=1.0.0.2\r\nDownloadFileURL=" +
                  m_server.url(QString::fromLatin1(kFilePath)).toLatin1() + "\r\nMD5Hash=" + kMd5.toLatin1() +
                  "\r\nSHA256Hash=" + kSha256.toLatin1() + "\r\n" + CurrentValidUntilLine());
    m_update.HashType = THashType::MD5;
    EXPECT_TRUE(SpeedButton4Click(m_update));
    EXPECT_EQ(m_dir.read(QStringLiteral("Backups/VoranoOstrel")), "programma");
    EXPECT_EQ(m_prompts.seen, QStringList({kStarting, updaterStart(), QStringLiteral("terminate")}));
    EXPECT_EQ(m_dir.read(QStringLiteral("TempDownloads/VoranoOstrel.zip")), kBody);
    EXPECT_EQ(m_log, QStringList());
}

TEST_F(UpdateControleTest, BacksUpAlsoWithoutNewerVersion)
{
    serveManifest("[" + UpdateSectionName.toLatin1() + "]\r\nVersion=1.0.0.1\r\n" + CurrentValidUntilLine());
    QDir(m_dir.path()).mkdir(QStringLiteral("Backups"));
    QFile old(m_dir.path() + QStringLiteral("/Backups/VoranoOstrel"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("oude kopie");
    old.close();
    EXPECT_FALSE(SpeedButton4Click(m_update));
    EXPECT_EQ(m_dir.read(QStringLiteral("Backups/VoranoOstrel")), "programma");
    EXPECT_EQ(m_prompts.seen, QStringList{QStringLiteral("information: Er is geen nieuwe versie beschikbaar.")});
}

} // namespace
