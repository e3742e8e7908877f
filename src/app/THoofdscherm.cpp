#include "app/THoofdscherm.h"

#include "app/PackagePage.h"
#include "app/ReferencePage.h"
#include "app/ReturnPage.h"
#include "app/SettingsPage.h"
#include "base/AbortToken.h"
#include "base/ProgramBackup.h"
#include "base/ServiceNotifier.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "settings/ServiceEndpoints.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace
{

const QString kInitialCaption = QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL");
const QString kCaptionPrefix = QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL - v");
const QString kInitialTrayTip = QStringLiteral("Taxis Vorano");
constexpr int kWindowsRestoreToMaximized = 2; // placement flag of a minimised window that was maximised

// The program's single 16 by 16 icon.
QIcon programIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xF2, 0xC0, 0x1E));
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    p.drawLine(QPointF(4, 4), QPointF(8, 12));
    p.drawLine(QPointF(8, 12), QPointF(12, 4));
    return QIcon(pixmap);
}

QPlainTextEdit *memoPage(QTabWidget *pages, const QString &caption)
{
    auto *page = new QWidget;
    auto *memo = new QPlainTextEdit;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo);
    pages->addTab(page, caption);
    return memo;
}

} // namespace

THoofdscherm::THoofdscherm(Operations operations, ShellSetup setup, QWidget *parent)
    : QMainWindow(parent)
    , m_ops(std::move(operations))
    , m_setup(std::move(setup))
    , m_clock(m_setup.clock ? m_setup.clock : &m_systemClock)
    , m_folders(ProgramFolders::under(m_setup.dataFolder.isEmpty() ? QFileInfo(m_setup.programFile).absolutePath()
                                                                   : m_setup.dataFolder))
    , m_dayLog(m_folders.logboek)
    , m_runner([this](const QString &message) { logError(message); })
    , m_mainStore(m_folders.program + QLatin1Char('/') + QLatin1String(SettingsStore::kMainFileName),
                  SettingsFile::Main)
    , m_baseStore(m_folders.program + QLatin1Char('/') + QLatin1String(SettingsStore::kBaseFileName),
                  SettingsFile::Base)
{
    setObjectName(QStringLiteral("Hoofdscherm"));
    setWindowTitle(kInitialCaption);
    // A new window is a new session: a stop asked of an earlier one is forgotten.
    AbortToken::program().reset();
    buildWindow();
    m_mainStore.load();
    m_baseStore.load();

    if (m_ops.serviceFactory)
        m_service = m_ops.serviceFactory(*this);
    m_db = std::make_unique<DispatchDb>(*this, m_folders.program);
    // What the connection says about itself (the embedded file made) is no error.
    m_db->setLog([this](const QString &message) { appendLog(LogLevel::Warning, message, true); });

    TimerActions actions;
    actions.wrap = [this](const std::function<void()> &tick) { m_runner.run(tick); };
    // A retrieval that falls due while another operation runs comes as soon as that one has ended, not a whole
    // interval later.
    actions.retrievalCycle = [this] {
        if (m_ops.retrievalCycle)
            m_runner.runExclusiveOrDefer(QStringLiteral("Controle"),
                                         [this] { runCycle(CycleKind::Retrieval, m_ops.retrievalCycle); });
    };
    actions.referenceRefresh = [this] {
        const bool fetched = refreshReferenceLists();
        cycleEnded(CycleKind::Reference, fetched, {}, {});
        return fetched;
    };
    actions.returnCycle = [this] {
        if (m_ops.returnCycle)
            m_runner.runExclusive([this] { runCycle(CycleKind::Return, m_ops.returnCycle); });
    };
    actions.programBackup = [this] { CopyProgramBackup(m_setup.programFile, m_folders.programBackups); };
    m_timers = std::make_unique<ShellTimers>(*this, std::move(actions), m_setup.intervals);
    if (m_setup.startTimers)
        m_timers->start();
    buildTray();
    startUp();
}

THoofdscherm::~THoofdscherm()
{
    if (!m_savedSinceApply)
        saveSettings();
    const bool mainWritten = writeSettingsFile(m_mainStore);
    const bool written = writeSettingsFile(m_baseStore) && mainWritten;
    m_monitor->writeStatusFile(false);
    logJournal(LogLevel::Information,
               QStringLiteral("Gestopt (%1); %2.")
                   .arg(m_stopReason.isEmpty() ? QStringLiteral("venster gesloten") : m_stopReason,
                        written ? QStringLiteral("instellingen geschreven")
                                : QStringLiteral("instellingen niet (allemaal) geschreven")));
}

void THoofdscherm::buildWindow()
{
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("PageControl"));
    m_pages->setTabPosition(QTabWidget::South);

    m_settingsPage = new SettingsPage(m_controls);
    auto *settingsScroll = new QScrollArea; // the window also fits on a small screen
    settingsScroll->setWidget(m_settingsPage);
    settingsScroll->setWidgetResizable(true);
    settingsScroll->setFrameShape(QFrame::NoFrame);
    m_pages->addTab(settingsScroll, QStringLiteral("Instellingen"));
    connect(m_settingsPage, &SettingsPage::testClicked, this, [this] { runOperation(m_ops.databaseTest); });
    connect(m_settingsPage, &SettingsPage::rideColourClicked, this,
            [this] { m_runner.run([this] { m_settingsPage->chooseRideColour(); }); });

    auto *returns = new ReturnPage(m_controls);
    m_pages->addTab(returns, QStringLiteral("Retour meldingen"));
    connect(returns, &ReturnPage::ownerSearchClicked, this, [this] { runOperation(m_ops.ownerSearch); });

    m_logboek = memoPage(m_pages, QStringLiteral("Logboek"));
    m_logboek->setObjectName(QStringLiteral("Logboek"));
    // A program that runs for months would otherwise hold every line in memory; the day files keep them all.
    m_logboek->setMaximumBlockCount(kLogboekMaxLines);

    auto *update = new QWidget;
    auto *updateCheck = new QPushButton(QStringLiteral("UPDATE CONTROLE"));
    updateCheck->setMinimumHeight(40);
    auto *updateLayout = new QVBoxLayout(update);
    updateLayout->addWidget(updateCheck);
    updateLayout->addStretch();
    m_pages->addTab(update, QStringLiteral("Update"));
    connect(updateCheck, &QPushButton::clicked, this, [this] { runOperation(m_ops.updateCheck); });

    m_pages->addTab(new PackagePage(m_controls), QStringLiteral("Pakket"));

    const struct {
        Control memo;
        const char *tab;
        const char *button;
        Operation Operations::*fetch;
    } referencePages[] = {
        {Control::BasicVehicleTypes, "Wagensoorten", "Wagensoorten ophalen", &Operations::fetchVehicleTypes},
        {Control::BasicIndications, "Indicaties", "Indicaties ophalen", &Operations::fetchIndications},
        {Control::BasicAccessibilityEquipments, "Toegangkelijkheid", "Toegangkelijkheid ophalen",
         &Operations::fetchAccessibilityEquipments},
        {Control::BasicProducts, "Producten", "Producten ophalen", &Operations::fetchProducts},
    };
    for (const auto &ref : referencePages) {
        auto *page = new ReferencePage(m_controls, ref.memo, QString::fromUtf8(ref.button));
        m_pages->addTab(page, QString::fromUtf8(ref.tab));
        const auto fetch = ref.fetch;
        connect(page, &ReferencePage::fetchClicked, this, [this, fetch] { runOperation(m_ops.*fetch); });
    }

    QPlainTextEdit *outgoing = memoPage(m_pages, QStringLiteral("Uitgaand"));
    m_controls.add(Control::UitgaanPakket, outgoing);

    auto *buttons = new QHBoxLayout;
    auto addButton = [&](const QString &caption, void (THoofdscherm::*action)()) {
        auto *button = new QPushButton(caption);
        connect(button, &QPushButton::clicked, this,
                [this, action] { m_runner.run([this, action] { (this->*action)(); }); });
        buttons->addWidget(button);
        return button;
    };
    addButton(QStringLiteral("UPDATE MANUEEL"), &THoofdscherm::updateManueel);
    addButton(QStringLiteral("VERBERGEN NAAR TAAKBALK"), &THoofdscherm::verbergenNaarTaakbalk);
    addButton(QStringLiteral("SLUITEN"), &THoofdscherm::sluiten);
    buttons->addStretch();
    QPushButton *manual = addButton(QStringLiteral("Handmatig verwerken"), &THoofdscherm::handmatigVerwerken);
    manual->setMinimumSize(180, 36);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    setWindowIcon(programIcon());
    resize(1024, 720);
    m_normal = geometry();
}

void THoofdscherm::buildTray()
{
    m_trayMenu = new QMenu(this);
    auto addItem = [this](const QString &caption, void (THoofdscherm::*action)()) {
        QAction *item = m_trayMenu->addAction(caption);
        connect(item, &QAction::triggered, this,
                [this, action] { m_runner.run([this, action] { (this->*action)(); }); });
    };
    addItem(QStringLiteral("Update"), &THoofdscherm::updateManueel);
    addItem(QStringLiteral("Details"), &THoofdscherm::showDetails);
    m_trayMenu->addSeparator();
    addItem(QStringLiteral("Sluiten"), &THoofdscherm::sluiten);

    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(kInitialTrayTip);
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            m_runner.run([this] { showDetails(); });
    });
    if (trayAvailable())
        m_tray->show();
}

// The start-up steps, run once before the window is first shown.
void THoofdscherm::startUp()
{
    m_resultList.clear();
    m_controls.setText(Control::xSoapServer, QString::fromUtf8(kStartupServiceEndpoint));
    m_folders.create();
    m_dayLog.removeExpired(m_clock->now().date());
    const QString version = m_ops.programVersion ? m_ops.programVersion() : QString();
    setWindowTitle(kCaptionPrefix + version);
    if (m_ops.setUpdateVersion)
        m_ops.setUpdateVersion(version);
    m_tray->setToolTip(windowTitle());
    m_mainStore.apply(*this, this);
    m_baseStore.apply(*this);
    m_savedSinceApply = false;
    m_pages->setCurrentIndex(0);
    m_monitor = std::make_unique<ServiceMonitor>(
        m_folders.program + QLatin1Char('/') + QLatin1String(ServiceMonitor::kStatusFileName), version,
        m_clock->now(), [this](LogLevel level, const QString &line) { logJournal(level, line); });
    logStart();
    m_monitor->writeStatusFile();
}

// A settings file edited on disk since it was read is never overwritten: the program's values go beside it.
bool THoofdscherm::writeSettingsFile(const SettingsStore &store)
{
    if (!store.changedOnDisk())
        return store.write();
    const QString beside = store.filePath() + QLatin1String(kChangedOnDiskSuffix);
    const bool written = store.write(beside);
    logJournal(LogLevel::Warning,
               QStringLiteral("%1 is gewijzigd sinds het programma het las en blijft zoals het is; de instellingen van "
                              "het programma staan in %2.")
                   .arg(QDir::toNativeSeparators(store.filePath()), QDir::toNativeSeparators(beside)));
    return written;
}

void THoofdscherm::reloadSettings()
{
    m_runner.runExclusiveOrDefer(QStringLiteral("Herladen"), [this] {
        SettingsStore main(m_mainStore.filePath(), SettingsFile::Main);
        SettingsStore base(m_baseStore.filePath(), SettingsFile::Base);
        try {
            main.load();
            base.load();
        } catch (const VoranoError &e) {
            logError(QStringLiteral("Instellingen niet opnieuw gelezen; de huidige blijven gelden. %1").arg(e.message()));
            return;
        }
        m_mainStore = main;
        m_baseStore = base;
        m_mainStore.apply(*this, this);
        m_baseStore.apply(*this);
        m_savedSinceApply = false;
        if (m_db->isOpen())
            m_db->close(); // the next use connects with the settings as they are now
        logJournal(LogLevel::Information, QStringLiteral("Instellingen opnieuw gelezen uit %1 en %2.")
                                              .arg(QDir::toNativeSeparators(m_mainStore.filePath()),
                                                   QDir::toNativeSeparators(m_baseStore.filePath())));
    });
}

void THoofdscherm::logStart()
{
    const QString version = m_ops.programVersion ? m_ops.programVersion() : QString();
    logJournal(LogLevel::Information, QStringLiteral("Gestart: versie %1, map %2, database %3, service %4.")
                                          .arg(version.isEmpty() ? QStringLiteral("onbekend") : version,
                                               QDir::toNativeSeparators(m_folders.program), databaseDescription(),
                                               text(Control::xSoapServer)));
}

// Where the dispatch database is, without the password.
QString THoofdscherm::databaseDescription() const
{
    if (m_db->dialect().embedded())
        return QStringLiteral("SQLite %1").arg(QDir::toNativeSeparators(m_db->sqlitePath()));
    return QStringLiteral("%1 op server %2, database %3, gebruiker %4")
        .arg(text(Control::xLoginDriver), text(Control::xLoginServer), text(Control::xLoginDatabase),
             text(Control::xLoginSQL));
}

void THoofdscherm::saveSettings()
{
    m_mainStore.save(*this, this);
    m_baseStore.save(*this);
    m_savedSinceApply = true;
}

WindowPlacement THoofdscherm::placement() const
{
    const QRect r = m_normal;
    WindowPlacement p = m_storedPositions;
    p.flags = (isMinimized() && m_wasMaximized) ? kWindowsRestoreToMaximized : 0;
    p.left = r.left();
    p.top = r.top();
    p.right = r.left() + r.width();
    p.bottom = r.top() + r.height();
    return p;
}

void THoofdscherm::setPlacement(const WindowPlacement &placement)
{
    m_storedPositions.maxX = placement.maxX;
    m_storedPositions.maxY = placement.maxY;
    const QRect r(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
    if (r.width() > 0 && r.height() > 0) {
        setGeometry(r);
        m_normal = r;
    }
}

// Qt keeps no restored rectangle of a window that was shown maximised from the start; the window keeps its own.
void THoofdscherm::rememberNormalGeometry()
{
    if (isVisible() && windowState() == Qt::WindowNoState)
        m_normal = geometry();
}

void THoofdscherm::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    rememberNormalGeometry();
}

void THoofdscherm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    rememberNormalGeometry();
}

int THoofdscherm::pixelsPerInch() const
{
    const QScreen *s = screen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

OperationContext THoofdscherm::context()
{
    return OperationContext{*this,
                            m_service,
                            *m_db,
                            m_pump,
                            *m_clock,
                            m_folders,
                            m_resultList,
                            [this](const QString &message) { logError(message); },
                            [this] { m_runner.runDeferredNow(); }};
}

void THoofdscherm::runOperation(const Operation &operation)
{
    if (!operation)
        return;
    m_runner.run([&] {
        OperationContext ctx = context();
        operation(ctx, this);
    });
}

// Runs a cycle and hands what it did to the monitor. An error the cycle logged itself (it ended its walk with
// one line) counts as a failed cycle just as one it threw.
void THoofdscherm::runCycle(CycleKind kind, const Cycle &cycle)
{
    if (!cycle)
        return;
    CycleOutcome outcome;
    QString firstError;
    auto note = [&firstError](const QString &message) {
        if (firstError.isEmpty())
            firstError = message;
    };
    const bool ran = m_runner.run([&] {
        OperationContext ctx = context();
        ctx.logError = [this, &note](const QString &message) {
            note(message);
            logError(message);
        };
        try {
            outcome = cycle(ctx, this);
        } catch (const VoranoError &e) {
            note(e.message());
            throw;
        } catch (const std::exception &e) {
            note(QString::fromLocal8Bit(e.what()));
            throw;
        }
    });
    cycleEnded(kind, ran && firstError.isEmpty(), outcome, firstError);
}

void THoofdscherm::cycleEnded(CycleKind kind, bool ok, const CycleOutcome &outcome, const QString &firstError)
{
    if (!m_monitor)
        return;
    bool numeric = false;
    const int minutes = text(Control::xStoringMinuten).trimmed().toInt(&numeric);
    m_monitor->cycleEnded(kind, m_clock->now(), ok, outcome, firstError, numeric ? minutes : 0);
    m_monitor->writeStatusFile();
    if (m_setup.notifier)
        m_setup.notifier->status(m_monitor->statusText());
}

void THoofdscherm::runExclusive(const Operation &operation, bool clicked)
{
    if (!operation)
        return;
    const auto outcome = m_runner.runExclusive([&] {
        OperationContext ctx = context();
        operation(ctx, this);
    });
    if (outcome == ActionRunner::Outcome::Dropped && clicked)
        statusBar()->showMessage(QString::fromUtf8(kBusyText), 10000);
}

bool THoofdscherm::refreshReferenceLists()
{
    return m_runner.run([this] {
        for (Operation Operations::*fetch : {&Operations::fetchVehicleTypes, &Operations::fetchIndications,
                                             &Operations::fetchAccessibilityEquipments, &Operations::fetchProducts}) {
            if (const Operation &operation = m_ops.*fetch) {
                OperationContext ctx = context();
                operation(ctx, this);
            }
            m_pump.processEvents();
        }
    });
}

void THoofdscherm::updateManueel()
{
    if (!m_ops.retrievalCycle)
        return;
    const auto outcome = m_runner.runExclusive([this] { runCycle(CycleKind::Retrieval, m_ops.retrievalCycle); });
    if (outcome == ActionRunner::Outcome::Dropped)
        statusBar()->showMessage(QString::fromUtf8(kBusyText), 10000);
}

void THoofdscherm::handmatigVerwerken()
{
    runExclusive(m_ops.manualProcessing, true);
}

void THoofdscherm::verbergenNaarTaakbalk()
{
    saveSettings();
    hideToTray();
}

void THoofdscherm::setStopReason(const QString &reason)
{
    if (m_stopReason.isEmpty())
        m_stopReason = reason;
}

void THoofdscherm::sluiten()
{
    setStopReason(QStringLiteral("SLUITEN"));
    // An operation that let this click in between its items ends at its next call or statement.
    AbortToken::program().trip();
    if (m_db->isOpen())
        m_db->close();
    close();
}

void THoofdscherm::showDetails()
{
    Qt::WindowStates state = windowState() & ~Qt::WindowMinimized;
    if (m_wasMaximized)
        state |= Qt::WindowMaximized;
    setWindowState(state);
    show();
    raise();
    activateWindow();
}

// Without a notification area there is no way back from a hidden window: it stays in the taskbar, minimised.
void THoofdscherm::hideToTray()
{
    if (trayAvailable()) {
        m_wasMaximized = isMaximized() || (isMinimized() && m_wasMaximized);
        hide();
    } else {
        showMinimized();
    }
}

bool THoofdscherm::trayAvailable() const
{
    return m_setup.trayAvailable ? m_setup.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void THoofdscherm::logError(const QString &message)
{
    appendLog(LogLevel::Error, message, true);
}

void THoofdscherm::logJournal(LogLevel level, const QString &message)
{
    appendLog(level, message, false);
}

void THoofdscherm::appendLog(LogLevel level, const QString &message, bool onPage)
{
    const QDateTime now = m_clock->now();
    QString line = LogLine(now, message);
    line.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (onPage)
        m_logboek->appendPlainText(line);
    m_dayLog.append(now, line, level);
}

void THoofdscherm::closeEvent(QCloseEvent *event)
{
    m_runner.dropDeferred(); // no retrieval starts after the window has gone
    // The program ends: an operation still under way stops at its next call or statement, a waiting update
    // request ends now, and no updater starts after the window has closed.
    AbortToken::program().trip();
    if (m_setup.notifier)
        m_setup.notifier->stopping();
    saveSettings();
    event->accept();
    if (!m_closed) {
        m_closed = true;
        emit closed();
    }
}

void THoofdscherm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto *change = static_cast<QWindowStateChangeEvent *>(event);
    if (isMinimized()) {
        m_wasMaximized = change->oldState().testFlag(Qt::WindowMaximized);
        // Minimising hides the taskbar entry too; the tray icon brings the window back.
        if (trayAvailable())
            QTimer::singleShot(0, this, [this] {
                if (isMinimized())
                    hide();
            });
    }
}
