// Closing the program while "UPDATE CONTROLE" waits for the server: the main window and its close path as the
// program runs them (the termination signals, "SLUITEN", the application's event loop), with the update component
// pointed at a local server that stops sending halfway.

#include "ScriptedUpdatePrompts.h"
#include "TestReleaseKey.h"
#include "app/THoofdscherm.h"
#include "service/LinkService.h"
#include "service/TerminationSignals.h"
#include "base/AbortToken.h"
#include "support/LocalHttpServer.h"
#include "support/QtPrinters.h"
#include "support/TempProgramDir.h"
#include "support/TestNetwork.h"
#include "update/TJFCAppUpdate.h"
#include "update/TJFCAppUpdateNotifyBox.h"
#include "update/UpdateControle.h"
#include "update/UpdateHttpClient.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace
{

const QByteArray kManifestPath = "/liveupdate/VoranoOstrel/Updates.txt";
const QByteArray kFilePath = "/files/VoranoOstrel.zip";

enum class Stall { Manifest, Download };
enum class Close { Sigterm, Sluiten };

QPushButton *button(QWidget *window, const QString &text)
{
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The check waits for its small requests as a service call does, without taking the window's events: a signal
// ends it at once, a click on "SLUITEN" is taken once the request has ended at its limit (2 s here). The download
// runs under its dialog, which takes "SLUITEN" at once.
TEST(UpdateClose, ClosingDuringACheckOrDownloadEndsAtOnceWithoutTheUpdater)
{
    const QString websiteQuestion =
        QStringLiteral("question: Er is geen nieuwe versie beschikbaar.\rWenst u de website te openen?");
    const struct {
        const char *name;
        Stall stall;
        Close close;
        bool afterTheLimit; // the close is taken once the stalled request has failed
    } cases[] = {
        {"SIGTERM during the check", Stall::Manifest, Close::Sigterm, false},
        {"SLUITEN during the check", Stall::Manifest, Close::Sluiten, true},
        {"SIGTERM during the download", Stall::Download, Close::Sigterm, false},
        {"SLUITEN during the download", Stall::Download, Close::Sluiten, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramDir dir;
        LocalHttpServer server;
        const TestReleaseKey key;
        const QByteArray file(4 << 20, 'v');
        const QByteArray manifest =
            "[" + UpdateSectionNameFor(QCoreApplication::applicationFilePath()).toLatin1() +
            "]\r\nVersion=9.0.0.1\r\nDownloadFileURL=" + server.url(QString::fromLatin1(kFilePath)).toLatin1() +
            "\r\nSHA256Hash=" + QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex() + "\r\n" +
            CurrentValidUntilLine();
        LocalHttpServer::Response manifestResponse{200, "OK", {}, manifest};
        LocalHttpServer::Response fileResponse{200, "OK", {}, file};
        (c.stall == Stall::Manifest ? manifestResponse : fileResponse).stallAfter = 10;
        server.serve(kManifestPath, manifestResponse);
        server.serveFile(kManifestPath + ".sig", key.signatureFile(manifest));
        server.serve(kFilePath, fileResponse);

        // "UPDATE CONTROLE" as wired in the program, but with this server and the test's key; the user downloads.
        AbortToken stop;
        ScriptedUpdatePrompts prompts;
        QStringList log;
        Operations ops;
        ops.updateCheck = [&](OperationContext &ctx, QWidget *) {
            TJFCAppUpdate update(
                prompts,
                [&](TJFCAppUpdateNotifyState &state) {
                    TJFCAppUpdateNotifyBox box(state, prompts, ctx.logError);
                    box.DownloadButtonClick();
                },
                TestNetwork(), stop, ctx.logError, key.trust());
            ConfigureMainWindowUpdate(update, QStringLiteral("9.0.0.0"));
            update.transferTimeoutMs = 2000;
            update.UpdateFileURL = server.url(QString::fromLatin1(kManifestPath));
            update.ProgramFile = dir.path() + QStringLiteral("/VoranoOstrel");
            SpeedButton4Click(update);
        };
        QFile updater(dir.path() + QLatin1Char('/') + UpdaterFileName()); // there, so the download starts
        ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
        updater.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        updater.close();
        ServiceSetup setup;
        setup.programFile = dir.path() + QStringLiteral("/VoranoOstrel");
        setup.startTimers = false;
        setup.stopToken = &stop;
        auto service = std::make_unique<LinkService>(ops, setup);
        service->start();
        auto window = std::make_unique<THoofdscherm>(*service, ops);
        QObject::connect(window.get(), &THoofdscherm::closed, qApp, &QCoreApplication::quit);
        TerminationSignals terminate(stop, [&window] { window->runner().run([&window] { window->sluiten(); }); });

        QElapsedTimer sinceClose;
        QPushButton *sluiten = button(window.get(), QStringLiteral("SLUITEN"));
        ASSERT_NE(sluiten, nullptr);
        server.onStalled = [&] {
            sinceClose.start();
            if (c.close == Close::Sigterm)
                ::kill(::getpid(), SIGTERM);
            else
                QMetaObject::invokeMethod(sluiten, &QPushButton::click, Qt::QueuedConnection);
        };
        QPushButton *check = button(window.get(), QStringLiteral("UPDATE CONTROLE"));
        ASSERT_NE(check, nullptr);
        QTimer::singleShot(0, check, &QPushButton::click);
        // Only a fault keeps the loop running this long: the request limits are a minute and more.
        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, qApp, [&] {
            hung = true;
            QCoreApplication::quit();
        });
        watchdog.start(20000);
        window->show();
        QApplication::exec();
        const qint64 closingMs = sinceClose.isValid() ? sinceClose.elapsed() : -1;

        EXPECT_FALSE(hung);
        EXPECT_GE(closingMs, 0) << "the server never stalled";
        std::printf("closing during the %s took %lld ms\n", c.stall == Stall::Manifest ? "check" : "download",
                    static_cast<long long>(closingMs));
        EXPECT_FALSE(prompts.seen.join(QLatin1Char('\n')).contains(QStringLiteral("start:")));
        if (c.afterTheLimit) {
            EXPECT_GE(closingMs, 1900);
            EXPECT_EQ(prompts.seen, QStringList{websiteQuestion}) << "the failed check's own question, nothing more";
        } else {
            EXPECT_EQ(prompts.seen, QStringList()); // no message after the close either
        }
        EXPECT_EQ(dir.files(QStringLiteral("TempDownloads")), QStringList());
        EXPECT_EQ(server.requestsFor(kFilePath).empty(), c.stall == Stall::Manifest);
        window.reset();
        service.reset();
    }
}

} // namespace
