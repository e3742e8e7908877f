#include "app/THoofdscherm.h"
#include "app/SettingsPage.h"
#include "app/Wiring.h"
#include "service/LinkService.h"
#include "base/VoranoError.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedService.h"
#include "support/TestNetwork.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace
{

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

class WindowTest : public testing::Test
{
  protected:
    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2015, 3, 31), QTime(7, 5, 9))};
    Operations ops;

    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QByteArray read(const char *name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void write(const char *name, const QByteArray &bytes)
    {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    std::unique_ptr<LinkService> service;

    // A new service over the folder (the earlier one ends first and writes its files) and the window over it.
    std::unique_ptr<THoofdscherm> makeWindow(WindowSetup windowSetup = {})
    {
        service.reset();
        ServiceSetup setup;
        setup.programFile = file("VoranoOstrel");
        setup.clock = &clock;
        setup.startTimers = false;
        service = std::make_unique<LinkService>(ops, setup);
        service->start();
        return std::make_unique<THoofdscherm>(*service, ops, std::move(windowSetup));
    }

    // Until the service's worker has nothing left and its results have reached the window.
    void settle()
    {
        const QDeadlineTimer deadline(30000);
        while (service->worker().busy() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // The service ends and writes its files (the window has gone).
    void endService() { service.reset(); }

    // The lines of a day file that are not the start's (the start line and the settings warnings).
    QStringList ownLines(const char *name) const
    {
        QStringList out;
        for (const QString &line : QString::fromUtf8(read(name)).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!line.contains(QStringLiteral("  Gestart: ")) && !line.contains(QStringLiteral("  Instellingen bij de start: ")))
                out << line;
        return out;
    }
};

} // namespace

TEST_F(WindowTest, PagesCaptionsButtonsAndTrayMenu)
{
    ops.programVersion = [] { return QStringLiteral("1.0.0.7"); };
    QString updateVersion;
    ops.setUpdateVersion = [&](const QString &v) { updateVersion = v; };
    auto window = makeWindow();

    EXPECT_EQ(window->objectName(), QLatin1String("Hoofdscherm"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL - v1.0.0.7"));
    EXPECT_EQ(updateVersion, QLatin1String("1.0.0.7"));
    EXPECT_EQ(window->trayIcon()->toolTip(), window->windowTitle());

    QStringList tabs;
    for (int i = 0; i < window->pageControl()->count(); ++i)
        tabs << window->pageControl()->tabText(i);
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("Instellingen"), QStringLiteral("Retour meldingen"),
                                 QStringLiteral("Logboek"), QStringLiteral("Update"), QStringLiteral("Pakket"),
                                 QStringLiteral("Wagensoorten"), QStringLiteral("Indicaties"),
                                 QStringLiteral("Toegangkelijkheid"), QStringLiteral("Producten"),
                                 QStringLiteral("Uitgaand")}));
    EXPECT_EQ(window->pageControl()->currentIndex(), 0);
    EXPECT_EQ(window->pageControl()->tabPosition(), QTabWidget::South);

    QStringList buttons;
    for (const QAbstractButton *b : window->findChildren<QAbstractButton *>())
        buttons << b->text();
    for (const char *caption : {"UPDATE MANUEEL", "VERBERGEN NAAR TAAKBALK", "SLUITEN", "Handmatig verwerken", "TEST",
                                "Ritkleur", "ZOEK EIGENAAR", "UPDATE CONTROLE", "Wagensoorten ophalen",
                                "Indicaties ophalen", "Toegangkelijkheid ophalen", "Producten ophalen"})
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(caption))) << caption;

    QStringList menu;
    for (const QAction *a : window->trayMenu()->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(menu, (QStringList{QStringLiteral("Update"), QStringLiteral("Details"), QStringLiteral("-"),
                                 QStringLiteral("Sluiten")}));

    // Every control of the table exists under its own name, with its design default.
    for (const ControlInfo &info : allControls()) {
        if (info.id == Control::GebruikteEigenaren)
            continue; // kept by the program for itself, not shown
        QWidget *w = window->controlWidget(info.id);
        ASSERT_NE(w, nullptr) << info.name;
        EXPECT_EQ(w->objectName(), QLatin1String(info.name));
        EXPECT_TRUE(window->isAncestorOf(w)) << info.name;
        if (info.kind == ControlKind::CheckBox) {
            EXPECT_EQ(window->checked(info.id), info.defaultChecked) << info.name;
        } else if (info.kind == ControlKind::Edit) {
            EXPECT_EQ(window->text(info.id), QString::fromUtf8(info.defaultText)) << info.name;
        }
    }
    EXPECT_FALSE(window->controlWidget(Control::Ritkleur)->isVisibleTo(window.get()));
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("xPaswoord"))->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("xPaswoordSQL"))->echoMode(), QLineEdit::Password);

    for (const char *rel : {"Ostrel/In", "Ostrel/Uit", "Ostrel/Backups/In", "Ostrel/Backups/Uit",
                            "Ostrel/Backups/Error", "TempDownloads", "Vorano", "Logboek"})
        EXPECT_TRUE(QDir(file(rel)).exists()) << rel;
    EXPECT_EQ(service->folders().inDir, file("Ostrel/In"));
}

TEST_F(WindowTest, CaptionEndsInVWithoutAVersion)
{
    auto window = makeWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL - v"));
}

TEST_F(WindowTest, StatusBarShowsTheHintOfTheControlUnderTheMouse)
{
    auto window = makeWindow();
    window->show();
    QWidget *server = window->controlWidget(Control::xSoapServer);
    const QPointF at(1, 1);
    QEnterEvent enter(at, at, server->mapToGlobal(at));
    QCoreApplication::sendEvent(server, &enter);
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("Voer de Internet locatie van de soap server in"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(server, &leave);
    EXPECT_EQ(window->statusBar()->currentMessage(), QString());

    QPushButton *test = window->findChild<QPushButton *>(QStringLiteral("TEST"));
    ASSERT_NE(test, nullptr);
    QCoreApplication::sendEvent(test, &enter);
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("Test database verbinding"));
}

TEST_F(WindowTest, ErrorsBecomeLogLinesOnThePageAndInTheDayFile)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Logboek")));
    write("Logboek/2014-12-30.log", "te oud\n");
    write("Logboek/2014-12-31.log", "blijft\n");
    auto window = makeWindow();
    // Day files are old only beside a newer one: this run's first line (the start line) makes the first of them
    // expire.
    EXPECT_FALSE(QFile::exists(file("Logboek/2014-12-30.log")));

    window->runner().run([] { throw VoranoError(QStringLiteral("eerste")); });
    EXPECT_EQ(read("Logboek/2014-12-31.log"), QByteArray("blijft\n"));
    clock.advanceSecs(30);
    window->runner().run([] { throw VoranoError(QStringLiteral("tweede\r\nmet een tweede regel")); });
    const QString page = QStringLiteral("31-03-2015 07:05  eerste\n31-03-2015 07:05  tweede\\r\\nmet een tweede regel");
    EXPECT_EQ(window->logboek()->toPlainText(), page);
    // The day file also holds the start line, which the page does not show.
    const QString day = QString::fromUtf8(read("Logboek/2015-03-31.log"));
    EXPECT_TRUE(day.startsWith(QStringLiteral("31-03-2015 07:05  Gestart: versie onbekend, map "))) << day.toStdString();
    EXPECT_EQ(ownLines("Logboek/2015-03-31.log").join(QLatin1Char('\n')), page) << day.toStdString();
}

// A program that runs for months keeps the newest lines on the page; the day file keeps every line.
TEST_F(WindowTest, TheLogPageKeepsABoundedNumberOfLines)
{
    auto window = makeWindow();
    const int lines = THoofdscherm::kLogboekMaxLines + 5;
    for (int i = 1; i <= lines; ++i)
        window->logError(QStringLiteral("regel %1").arg(i));
    const QPlainTextEdit *page = window->logboek();
    EXPECT_EQ(page->blockCount(), THoofdscherm::kLogboekMaxLines);
    EXPECT_EQ(page->document()->firstBlock().text(), QStringLiteral("31-03-2015 07:05  regel 6"));
    EXPECT_EQ(page->document()->lastBlock().text(), QStringLiteral("31-03-2015 07:05  regel %1").arg(lines));
    EXPECT_EQ(ownLines("Logboek/2015-03-31.log").size(), lines) << "every line, after the start's";
}

TEST_F(WindowTest, StoredSettingsAreAppliedAndWrittenBackAtTheEnd)
{
    write("VoranotoOstrel.xml", crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <Eigenaar_Text>123</Eigenaar_Text>
    <xSoapServer_Text>http://127.0.0.1:8080/_external/external.cfc</xSoapServer_Text>
    <xAuto_Checked>yes</xAuto_Checked>
    <Eigen>blijft</Eigen>
  </Hoofdscherm>
</Configuration>
)"));
    write("VoranotoOstrelBase.xml", crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <BasicProducts_Lines>
      <Item0>P1=Taxi</Item0>
      <Count>1</Count>
    </BasicProducts_Lines>
  </Hoofdscherm>
</Configuration>
)"));
    {
        auto window = makeWindow();
        EXPECT_EQ(window->text(Control::Eigenaar), QLatin1String("123"));
        EXPECT_EQ(window->text(Control::xSoapServer), QLatin1String("http://127.0.0.1:8080/_external/external.cfc"));
        EXPECT_TRUE(window->checked(Control::xAuto));
        EXPECT_EQ(window->lines(Control::BasicProducts), QStringList{QStringLiteral("P1=Taxi")});
        window->setText(Control::xInlognaam, QStringLiteral("taxi&co"));
        window->setLines(Control::BasicProducts, {QStringLiteral("P1=Taxi"), QStringLiteral("P2=Bus")});
        window->sluiten();
        // Closing saves into memory; the files are written when the service has stopped.
        EXPECT_FALSE(read("VoranotoOstrel.xml").contains("taxi&amp;co"));
        window->setText(Control::xInlognaam, QStringLiteral("na het sluiten"));
    }
    endService();
    const QByteArray main = read("VoranotoOstrel.xml");
    EXPECT_TRUE(main.startsWith(crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <Eigenaar_Text>123</Eigenaar_Text>
    <xSoapServer_Text>http://127.0.0.1:8080/_external/external.cfc</xSoapServer_Text>
    <xAuto_Checked>TRUE</xAuto_Checked>
    <Eigen>blijft</Eigen>
    <Flags>)")))
        << main.constData();
    EXPECT_TRUE(main.contains("    <xInlognaam_Text>taxi&amp;co</xInlognaam_Text>\r\n")) << main.constData();
    EXPECT_TRUE(read("VoranotoOstrelBase.xml").contains(crlf(R"(    <BasicProducts_Lines>
      <Item0>P1=Taxi</Item0>
      <Count>2</Count>
      <Item1>P2=Bus</Item1>
    </BasicProducts_Lines>
)")));
}

TEST_F(WindowTest, HidingSavesInMemoryOnlyAndWithoutTrayKeepsTheWindowReachable)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()); // offscreen has no notification area
    auto window = makeWindow();
    window->showMaximized();
    window->setText(Control::Eigenaar, QStringLiteral("555"));
    window->verbergenNaarTaakbalk();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(read("VoranotoOstrel.xml").isEmpty()); // a kill now loses nothing of the previous run
    window->showDetails();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, SettingsFileThatIsNotWellFormedStopsTheStartAndIsKept)
{
    const QByteArray broken = "<?xml version=\"1.0\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n";
    write("VoranotoOstrel.xml", broken);
    EXPECT_THROW(makeWindow(), XmlParseError);
    EXPECT_EQ(read("VoranotoOstrel.xml"), broken);
    EXPECT_FALSE(QFile::exists(file("VoranotoOstrelBase.xml")));
}

TEST_F(WindowTest, LongSettingValuesStayWholeThroughTheEdits)
{
    // An edit cut its text at 32767 characters without a word, so a long stored value came back shortened.
    const QString longValue = QString(40000, u'x') + QStringLiteral("einde");
    write("VoranotoOstrel.xml", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Configuration><Hoofdscherm>"
                                "<xInlognaam_Text>" +
                                    longValue.toLatin1() +
                                    "</xInlognaam_Text>"
                                    "</Hoofdscherm></Configuration>");
    {
        auto window = makeWindow();
        EXPECT_EQ(window->text(Control::xInlognaam), longValue);
        window->setText(Control::Eigenaar, longValue);
        EXPECT_EQ(window->text(Control::Eigenaar), longValue);
        window->sluiten();
    }
    endService();
    const QByteArray main = read("VoranotoOstrel.xml");
    EXPECT_TRUE(main.contains("<xInlognaam_Text>" + longValue.toLatin1() + "</xInlognaam_Text>"));
    EXPECT_TRUE(main.contains("<Eigenaar_Text>" + longValue.toLatin1() + "</Eigenaar_Text>"));
}

TEST_F(WindowTest, RideColourAsSixUpperCaseHexDigits)
{
    auto window = makeWindow();
    QList<QColor> offered;
    std::optional<QColor> answer = QColor(192, 192, 192);
    window->settingsPage()->setColourChooser([&](const QColor &initial, QWidget *) {
        offered << initial;
        return answer;
    });
    window->settingsPage()->chooseRideColour();
    EXPECT_EQ(window->text(Control::Ritkleur), QLatin1String("C0C0C0"));
    answer = QColor(Qt::red);
    window->settingsPage()->chooseRideColour();
    EXPECT_EQ(window->text(Control::Ritkleur), QLatin1String("FF0000"));
    answer = std::nullopt;
    window->settingsPage()->chooseRideColour();
    EXPECT_EQ(window->text(Control::Ritkleur), QLatin1String("FF0000"));
    EXPECT_EQ(offered, (QList<QColor>{QColor(Qt::black), QColor(192, 192, 192), QColor(Qt::red)}));
}

TEST_F(WindowTest, ButtonErrorsAreLoggedAndTheProgramGoesOn)
{
    ops.ownerSearch = [](OperationContext &, QWidget *) {
        throw DatabaseError(QStringLiteral("[FreeTDS][SQL Server]Login failed for user 'sa'."));
    };
    int tests = 0;
    ops.databaseTest = [&](OperationContext &, QWidget *) { ++tests; };
    auto window = makeWindow();
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        if (b->text() == QLatin1String("ZOEK EIGENAAR") || b->text() == QLatin1String("TEST"))
            b->click();
    EXPECT_EQ(window->logboek()->toPlainText(),
              QStringLiteral("31-03-2015 07:05  [FreeTDS][SQL Server]Login failed for user 'sa'."));
    EXPECT_EQ(tests, 1);
}

TEST_F(WindowTest, WindowSizeGoesThroughTheMainSettingsFile)
{
    int ppi = 0;
    {
        auto window = makeWindow();
        ppi = window->pixelsPerInch();
        window->showNormal();
        window->setGeometry(30, 40, 640, 480);
        window->showMaximized();
        window->sluiten();
    }
    endService();
    const QByteArray main = read("VoranotoOstrel.xml");
    EXPECT_TRUE(main.contains("    <NormPos>30,40,670,520</NormPos>\r\n")) << main.constData();
    EXPECT_TRUE(main.contains(QStringLiteral("    <PixelsPerInch>%1</PixelsPerInch>\r\n").arg(ppi).toLatin1()));

    auto again = makeWindow();
    EXPECT_EQ(again->geometry().size(), QSize(640, 480));
    EXPECT_EQ(again->placement().right - again->placement().left, 640);
}

TEST_F(WindowTest, StarterCopiesTheProgramFileIntoBackups)
{
    write("VoranoOstrel", "programma");
    auto window = makeWindow();
    service->timers().starterTick();
    settle();
    EXPECT_FALSE(service->timers().starter().isActive());
    EXPECT_EQ(read("Backups/VoranoOstrel"), QByteArray("programma"));
}

TEST_F(WindowTest, WindowThatGoesWithoutClosingStillSavesAndWrites)
{
    {
        auto window = makeWindow();
        window->setText(Control::Gebruiker, QStringLiteral("42"));
    }
    endService();
    EXPECT_TRUE(read("VoranotoOstrel.xml").contains("    <Gebruiker_Text>42</Gebruiker_Text>\r\n"));
}

TEST_F(WindowTest, WithANotificationAreaHidingAndMinimisingGoToTheTray)
{
    WindowSetup withTray;
    withTray.trayAvailable = [] { return true; };
    auto made = makeWindow(withTray);
    THoofdscherm &window = *made;
    window.showMaximized();
    QCoreApplication::processEvents();
    window.verbergenNaarTaakbalk();
    EXPECT_FALSE(window.isVisible());
    window.showDetails();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMaximized());

    window.showMinimized();
    const QDeadlineTimer deadline(5000);
    while (window.isVisible() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(window.isVisible());
    emit window.trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized());

    // "Sluiten" in the tray menu of a hidden window ends the program.
    window.verbergenNaarTaakbalk();
    int closed = 0;
    QObject::connect(&window, &THoofdscherm::closed, [&] { ++closed; });
    window.trayMenu()->actions().last()->trigger();
    EXPECT_EQ(closed, 1);
}

// No label of the window guesses its text format: a value from outside that looks like markup stays text.
TEST_F(WindowTest, EveryLabelShowsPlainText)
{
    auto window = makeWindow();
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    ASSERT_FALSE(labels.isEmpty());
    for (const QLabel *label : labels)
        EXPECT_EQ(label->textFormat(), Qt::PlainText)
            << label->objectName().toStdString() << " " << label->text().toStdString();
}

// A trip whose id is markup (an image from a device that never ends, bold text) is shown literally on the page
// "Pakket", through the real retrieval cycle; painting the page loads nothing.
TEST_F(WindowTest, PackagePageShowsATripIdThatLooksLikeMarkupLiterally)
{
    ScriptedService scripted;
    scripted.reply(QStringLiteral("<kwp version=\"3.8\"><status>200</status><body><action><name>RetrieveTrips</name>"
                                 "</action><triplist><trip><id>&lt;img src=\"/dev/zero\"&gt;&lt;b&gt;RIT&lt;/b&gt;"
                                 "</id><tripaction>ANDERS</tripaction></trip></triplist></body></kwp>"));
    ops.retrievalCycle = WireOperations(TestLinks(NoStop())).retrievalCycle;
    ops.serviceFactory = [&scripted](const Controls &) { return scripted.factory(); };
    auto window = makeWindow();
    window->setChecked(Control::xVerwerken, true);
    window->show();
    window->updateManueel();
    settle();
    ASSERT_EQ(scripted.calls().size(), 1u);
    EXPECT_EQ(window->logboek()->toPlainText(), QString());

    auto *id = qobject_cast<QLabel *>(window->controlWidget(Control::yRitID));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text(), QStringLiteral("<img src=\"/dev/zero\"><b>RIT</b>"));
    ASSERT_EQ(id->textFormat(), Qt::PlainText); // rich text would read /dev/zero while painting
    EXPECT_EQ(window->text(Control::yActie), QStringLiteral("ANDERS"));
    QTabWidget *pages = window->pageControl();
    for (int i = 0; i < pages->count(); ++i)
        if (pages->widget(i)->isAncestorOf(id))
            pages->setCurrentIndex(i);
    EXPECT_EQ(pages->tabText(pages->currentIndex()), QStringLiteral("Pakket"));
    EXPECT_FALSE(window->grab().isNull());
}

// A fault string of the service with a line break followed by something that looks like a log entry stays inside
// its own line, on the page, in the day file and on standard error.
TEST_F(WindowTest, FaultStringWithALineBreakIsOneLogLine)
{
    LocalHttpServer server;
    LocalHttpServer::Response fault;
    fault.status = 500;
    fault.reason = "Internal Server Error";
    fault.headers = {{"Content-Type", "text/xml; charset=utf-8"}};
    fault.body = "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body>"
                 "<soapenv:Fault><faultcode>soapenv:Server</faultcode><faultstring>Onbekende rit&#13;\n"
                 "10-12-2026 09:00  Retourmelding 4711 verzonden en geaccepteerd\u2028x&#9;y</faultstring>"
                 "</soapenv:Fault></soapenv:Body></soapenv:Envelope>";
    server.serve("/_external/external.cfc", fault);
    const Operations wired = WireOperations(TestLinks(NoStop()));
    ops.retrievalCycle = wired.retrievalCycle;
    ops.serviceFactory = wired.serviceFactory;
    auto window = makeWindow();
    window->setText(Control::xSoapServer, server.url(QStringLiteral("/_external/external.cfc")));
    window->updateManueel();
    settle();

    const QString line = QStringLiteral("31-03-2015 07:05  Onbekende rit\\r\\n10-12-2026 09:00  Retourmelding 4711 "
                                        "verzonden en geaccepteerd\\u2028x\\ty");
    EXPECT_EQ(window->logboek()->toPlainText(), line);
    EXPECT_TRUE(ownLines("Logboek/2015-03-31.log").contains(line)) << "one line in the day file";
}
