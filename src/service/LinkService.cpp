#include "service/LinkService.h"

#include "base/AbortToken.h"
#include "base/EventPump.h"
#include "base/ProgramBackup.h"
#include "base/ServiceNotifier.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/DocumentCopies.h"
#include "service/ActionRunner.h"
#include "service/SettingsCheck.h"
#include "settings/OwnerHistory.h"
#include "settings/ServiceEndpoints.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace
{

// Between the items of a cycle: the worker moved on. The main thread's event loop runs on by itself.
class WorkerPump : public EventPump
{
  public:
    explicit WorkerPump(CycleWorker &worker)
        : m_worker(worker)
    {
    }
    void processEvents() override { m_worker.markProgress(); }

  private:
    CycleWorker &m_worker;
};

QString folderOf(const ServiceSetup &setup)
{
    return setup.dataFolder.isEmpty() ? QFileInfo(setup.programFile).absolutePath() : setup.dataFolder;
}

const QString kRetrievalJob = QStringLiteral("Controle");
const QString kReturnJob = QStringLiteral("RetourTimer");
const QString kReferenceJob = QStringLiteral("BasisTabellen");
const QString kReloadJob = QStringLiteral("Herladen");

} // namespace

LinkService::LinkService(Operations operations, ServiceSetup setup, QObject *parent)
    : QObject(parent)
    , m_ops(std::move(operations))
    , m_setup(std::move(setup))
    , m_clock(m_setup.clock ? m_setup.clock : &m_systemClock)
    , m_ownToken(m_setup.stopToken ? nullptr : std::make_unique<AbortToken>())
    , m_token(m_setup.stopToken ? m_setup.stopToken : m_ownToken.get())
    , m_folders(ProgramFolders::under(folderOf(m_setup)))
    , m_dayLog(m_folders.logboek)
    , m_mainStore(m_folders.program + QLatin1Char('/') + QLatin1String(SettingsStore::kMainFileName),
                  SettingsFile::Main)
    , m_baseStore(m_folders.program + QLatin1Char('/') + QLatin1String(SettingsStore::kBaseFileName),
                  SettingsFile::Base)
{
    setObjectName(QStringLiteral("LinkService"));
    // A new service is a new session: a stop asked of an earlier one is forgotten.
    m_token->reset();
    m_mainStore.load();
    m_baseStore.load();
    m_version = m_ops.programVersion ? m_ops.programVersion() : QString();
    if (m_ops.setUpdateVersion)
        m_ops.setUpdateVersion(m_version);
    if (m_ops.serviceFactory)
        m_service = m_ops.serviceFactory(m_controls);
    m_interactiveDb = std::make_unique<DispatchDb>(m_controls, m_folders.program, QStringLiteral("ADO-venster"));
    m_interactiveDb->setAbortToken(*m_token);
    m_interactiveDb->setLog([this](const QString &message) { log(LogLevel::Warning, message); });

    TimerActions actions;
    actions.wrap = [this](const std::function<void()> &tick) {
        ActionRunner([this](const QString &message) { log(LogLevel::Error, message); }).run(tick);
    };
    // A retrieval that falls due while another job runs comes as soon as that one has ended (or between two
    // batches of the return messages), not a whole interval later.
    actions.retrievalCycle = [this] {
        post(CycleKind::Retrieval, kRetrievalJob, m_ops.retrievalCycle, CycleWorker::WhenBusy::Queue);
    };
    actions.referenceRefresh = [this] { postReferenceRefresh(); };
    actions.returnCycle = [this] {
        post(CycleKind::Return, kReturnJob, m_ops.returnCycle, CycleWorker::WhenBusy::Drop);
    };
    actions.programBackup = [this] {
        m_worker.post(
            QStringLiteral("Starter"),
            [this] {
                ActionRunner([this](const QString &message) { log(LogLevel::Error, message); }).run([this] {
                    CopyProgramBackup(m_setup.programFile, m_folders.programBackups);
                });
            },
            CycleWorker::WhenBusy::Queue);
    };
    m_timers = std::make_unique<ShellTimers>(m_controls, std::move(actions), m_setup.intervals, this);
    m_stopPoll.setInterval(50);
    connect(&m_stopPoll, &QTimer::timeout, this, [this] {
        if (m_worker.waitClosed(0) || CycleWorker::steadyMs() - m_stopStarted > AbortToken::kStopGraceMs + 500)
            finishStop();
    });
}

LinkService::~LinkService()
{
    if (!m_started)
        return;
    if (!m_stopping) {
        m_stopReason = m_stopReason.isEmpty() ? QStringLiteral("venster gesloten") : m_stopReason;
        m_stopping = true;
        m_token->trip();
        m_timers->mainTimer().stop();
        m_worker.close();
    }
    if (!m_finished) {
        m_worker.waitClosed(AbortToken::kStopGraceMs + 500);
        finishStop();
    }
}

void LinkService::start()
{
    m_folders.create();
    m_dayLog.removeExpired(m_clock->now().date());
    m_controls.setText(Control::xSoapServer, QString::fromUtf8(kStartupServiceEndpoint));
    applyStores();
    for (const QString &copies : {m_folders.backupsInDir, m_folders.backupsUitDir})
        PruneCopyFolders(copies, m_clock->now().date(), CopyKeepDays(m_controls));
    m_monitor = std::make_unique<ServiceMonitor>(
        m_folders.program + QLatin1Char('/') + QLatin1String(ServiceMonitor::kStatusFileName), m_version,
        m_clock->now(), [this](LogLevel level, const QString &line) { log(level, line, false); });
    logStartLine();
    warnProblems(QStringLiteral("bij de start"));
    m_monitor->writeStatusFile();
    m_worker.start(
        [this] {
            m_db = std::make_unique<DispatchDb>(m_controls, m_folders.program);
            m_db->setAbortToken(*m_token);
            m_db->setClaim(DispatchDb::installationName(m_folders.program));
            // What the connection says about itself (the embedded file made) is no error.
            m_db->setLog([this](const QString &message) { log(LogLevel::Warning, message); });
        },
        [this] {
            if (m_db && m_db->isOpen())
                m_db->close();
            m_db.reset();
        });
    if (m_setup.notifier && m_setup.notifier->watchdogUsec() > 0) {
        // A quarter of the period: a ping that comes late still comes in time.
        m_watchdog.setInterval(int(std::max<quint64>(m_setup.notifier->watchdogUsec() / 4000, 1)));
        connect(&m_watchdog, &QTimer::timeout, this, &LinkService::feedWatchdog);
        m_watchdog.start();
    }
    if (m_setup.startTimers)
        m_timers->start();
    m_started = true;
}

void LinkService::feedWatchdog()
{
    // A worker stuck beyond every limit gets no ping: the service manager then restarts the program.
    if (workHealthy())
        m_setup.notifier->watchdog();
}

bool LinkService::workHealthy() const
{
    return m_worker.healthy(m_setup.stepLimitMs);
}

OperationContext LinkService::context(DispatchDb &db, EventPump &pump, TextList &results)
{
    return OperationContext{m_controls,
                            m_service,
                            db,
                            pump,
                            *m_clock,
                            m_folders,
                            results,
                            [this](const QString &message) { log(LogLevel::Error, message); },
                            [this] { m_worker.runWaitingNow(); },
                            [this](LogLevel level, const QString &message) { log(level, message); }};
}

// Runs a cycle on the worker and hands what it did to the monitor on the main thread. An error the cycle logged
// itself (it ended its walk with one line, or refused a trip) counts as a failed cycle just as one it threw.
void LinkService::post(CycleKind kind, const QString &name, Cycle cycle, CycleWorker::WhenBusy whenBusy)
{
    if (!cycle || m_stopping)
        return;
    m_worker.post(
        name,
        [this, kind, cycle] {
            // The service manager's status names the cycle under way: a call that hangs shows there.
            QMetaObject::invokeMethod(
                this,
                [this, kind] {
                    if (!m_monitor || m_finished)
                        return;
                    m_monitor->cycleStarted(kind, m_clock->now());
                    if (m_setup.notifier)
                        m_setup.notifier->status(m_monitor->statusText());
                },
                Qt::QueuedConnection);
            if (m_reconnect.exchange(false) && m_db->isOpen())
                m_db->close(); // the settings changed: connect with them as they are now
            if (!databaseFree()) {
                if (kind == CycleKind::Reference)
                    QMetaObject::invokeMethod(
                        this, [this] { m_timers->referenceRefreshEnded(false); }, Qt::QueuedConnection);
                return;
            }
            CycleOutcome outcome;
            QString firstError;
            auto note = [&firstError](const QString &message) {
                if (firstError.isEmpty())
                    firstError = message;
            };
            WorkerPump pump(m_worker);
            OperationContext ctx = context(*m_db, pump, m_resultList);
            // A call or statement ended by the stop is what the stop asked for: information, no failure.
            bool cutByStop = false;
            auto report = [this, &note, &cutByStop](LogLevel level, const QString &message) {
                if (level == LogLevel::Error && m_token->tripped() && message.contains(AbortToken::abortedText())) {
                    level = LogLevel::Information;
                    cutByStop = true;
                }
                if (level == LogLevel::Error)
                    note(message);
                log(level, message);
            };
            ctx.logError = [&report](const QString &message) { report(LogLevel::Error, message); };
            ctx.log = report;
            try {
                outcome = cycle(ctx, nullptr);
            } catch (const VoranoError &e) {
                report(LogLevel::Error, e.message());
            } catch (const std::exception &e) {
                report(LogLevel::Error, QString::fromLocal8Bit(e.what()));
            } catch (...) {
                report(LogLevel::Error, QStringLiteral("Onbekende fout."));
            }
            const bool ok = firstError.isEmpty();
            // A cycle the stop cut short is neither a success nor a failure: only what it did counts.
            QMetaObject::invokeMethod(
                this,
                [this, kind, ok, cutByStop, outcome, firstError] {
                    cycleEnded(kind, ok, outcome, firstError, cutByStop);
                },
                Qt::QueuedConnection);
        },
        whenBusy);
}

// On the worker, before a job: whether this installation holds the database for its owner code (the connection
// claims it as it opens). While another installation holds it, no job runs and one line names the holder; one
// more says when the database is free again. A database that cannot be reached is the job's to meet and report.
bool LinkService::databaseFree()
{
    try {
        m_db->open();
    } catch (const DatabaseClaimed &e) {
        if (e.message() != m_claimRefused) {
            m_claimRefused = e.message();
            log(LogLevel::Error, e.message());
        }
        return false;
    } catch (const VoranoError &) {
        return true;
    }
    if (!m_claimRefused.isEmpty()) {
        m_claimRefused.clear();
        log(LogLevel::Information, QStringLiteral("De database is vrijgegeven; deze installatie werkt er weer mee."));
    }
    return true;
}

void LinkService::postReferenceRefresh()
{
    if (!m_ops.referenceRefresh || m_stopping) {
        m_timers->referenceRefreshEnded(!m_stopping);
        return;
    }
    post(CycleKind::Reference, kReferenceJob, m_ops.referenceRefresh, CycleWorker::WhenBusy::Queue);
}

void LinkService::cycleEnded(CycleKind kind, bool ok, const CycleOutcome &outcome, const QString &firstError,
                             bool cutByStop)
{
    if (kind == CycleKind::Reference)
        m_timers->referenceRefreshEnded(ok && !cutByStop);
    if (!m_monitor || m_finished)
        return;
    bool numeric = false;
    const int minutes = m_controls.text(Control::xStoringMinuten).trimmed().toInt(&numeric);
    if (cutByStop)
        m_monitor->counted(outcome);
    else
        m_monitor->cycleEnded(kind, m_clock->now(), ok, outcome, firstError, numeric ? minutes : 0);
    m_monitor->writeStatusFile();
    if (m_setup.notifier)
        m_setup.notifier->status(m_monitor->statusText());
}

bool LinkService::runRetrievalNow()
{
    if (!m_ops.retrievalCycle || m_stopping)
        return false;
    if (m_worker.busy())
        return false;
    post(CycleKind::Retrieval, kRetrievalJob, m_ops.retrievalCycle, CycleWorker::WhenBusy::Drop);
    return true;
}

bool LinkService::runManualProcessing(const QString &path)
{
    if (!m_ops.processReplyFile || m_stopping)
        return false;
    const FileOperation operation = m_ops.processReplyFile;
    return runOnWorker(QStringLiteral("Handmatig"),
                       [operation, path](OperationContext &ctx, QWidget *) { operation(ctx, path); });
}

bool LinkService::runOnWorker(const QString &name, const Operation &operation)
{
    if (!operation || m_stopping)
        return false;
    return m_worker.post(
        name,
        [this, operation] {
            if (m_reconnect.exchange(false) && m_db->isOpen())
                m_db->close();
            if (!databaseFree())
                return;
            WorkerPump pump(m_worker);
            OperationContext ctx = context(*m_db, pump, m_resultList);
            ActionRunner([this](const QString &message) { log(LogLevel::Error, message); }).run([&] {
                operation(ctx, nullptr);
            });
        },
        CycleWorker::WhenBusy::Drop);
}

void LinkService::runInteractive(const Operation &operation, QWidget *window)
{
    if (!operation)
        return;
    NoEventPump pump;
    OperationContext ctx = context(*m_interactiveDb, pump, m_interactiveResults);
    ctx.runWaiting = nullptr;
    ActionRunner([this](const QString &message) { log(LogLevel::Error, message); }).run([&] {
        operation(ctx, window);
    });
    if (m_interactiveDb->isOpen())
        m_interactiveDb->close();
}

void LinkService::applyStores()
{
    const std::lock_guard lock(m_storeMutex);
    // The owner codes the rides carry are never forgotten by reading a file written before the last one was used.
    const QStringList ownerCodes = m_controls.lines(Control::GebruikteEigenaren);
    m_mainStore.apply(m_controls, m_placement);
    m_baseStore.apply(m_controls);
    KeepOwnerCodes(m_controls, ownerCodes);
    m_savedSinceApply = false;
}

void LinkService::attachPlacement(PlacementTarget *window)
{
    m_placement = window;
    if (window) {
        const std::lock_guard lock(m_storeMutex);
        m_mainStore.apply(m_controls, window);
    }
}

void LinkService::saveSettings()
{
    const std::lock_guard lock(m_storeMutex);
    m_mainStore.save(m_controls, m_placement);
    m_baseStore.save(m_controls);
    m_savedSinceApply = true;
}

void LinkService::reloadSettings()
{
    if (m_stopping)
        return;
    // After the running cycle, before the next: the worker waits while the main thread applies the files.
    m_worker.post(
        kReloadJob,
        [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_stopping)
                        return;
                    SettingsStore main(m_mainStore.filePath(), SettingsFile::Main);
                    SettingsStore base(m_baseStore.filePath(), SettingsFile::Base);
                    try {
                        main.load();
                        base.load();
                    } catch (const VoranoError &e) {
                        log(LogLevel::Error,
                            QStringLiteral("Instellingen niet opnieuw gelezen; de huidige blijven gelden. %1")
                                .arg(e.message()));
                        return;
                    }
                    {
                        const std::lock_guard lock(m_storeMutex);
                        m_mainStore = main;
                        m_baseStore = base;
                    }
                    applyStores();
                    m_reconnect = true; // the next cycle connects with the settings as they are now
                    m_timers->rearmControle();
                    QStringList files{QDir::toNativeSeparators(m_mainStore.filePath())};
                    if (QFileInfo::exists(m_baseStore.filePath()))
                        files << QDir::toNativeSeparators(m_baseStore.filePath());
                    log(LogLevel::Information,
                        QStringLiteral("Instellingen opnieuw gelezen uit %1.").arg(files.join(QLatin1String(" en "))),
                        false);
                    warnProblems(QStringLiteral("na het herladen"));
                },
                Qt::BlockingQueuedConnection);
        },
        CycleWorker::WhenBusy::Queue);
}

void LinkService::warnProblems(const QString &when)
{
    QStringList problems;
    {
        const std::lock_guard lock(m_storeMutex);
        problems = CheckLoadedSettings(m_mainStore, m_baseStore, m_controls, m_folders.program);
    }
    for (const QString &problem : problems)
        log(LogLevel::Warning, QStringLiteral("Instellingen %1: %2").arg(when, problem), false);
}

void LinkService::stop(const QString &reason)
{
    if (m_stopReason.isEmpty())
        m_stopReason = reason;
    if (m_stopping)
        return;
    m_stopping = true;
    if (m_setup.notifier)
        m_setup.notifier->stopping();
    // A call or statement under way stops at once (a call on the wire gets its grace to be answered).
    m_token->trip();
    for (QTimer *t : {&m_timers->mainTimer(), &m_timers->controle(), &m_timers->basisTabellen(),
                      &m_timers->retourTimer(), &m_timers->starter()})
        t->stop();
    m_worker.close();
    if (!m_started) {
        finishStop();
        return;
    }
    m_stopStarted = CycleWorker::steadyMs();
    m_stopPoll.start();
}

void LinkService::finishStop()
{
    if (m_finished)
        return;
    // What the last cycle did counts in the status file written now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_finished = true;
    m_stopPoll.stop();
    m_watchdog.stop();
    m_abandoned = !m_worker.waitClosed(0);
    if (m_interactiveDb->isOpen())
        m_interactiveDb->close();
    writeFiles();
    emit stopped();
}

void LinkService::writeFiles()
{
    if (!m_savedSinceApply)
        saveSettings();
    bool written = false;
    {
        const std::lock_guard lock(m_storeMutex);
        const bool mainWritten = writeSettingsFile(m_mainStore);
        written = writeSettingsFile(m_baseStore) && mainWritten;
    }
    if (m_monitor)
        m_monitor->writeStatusFile(false);
    log(LogLevel::Information,
        QStringLiteral("Gestopt (%1); %2.")
            .arg(m_stopReason.isEmpty() ? QStringLiteral("venster gesloten") : m_stopReason,
                 written ? QStringLiteral("instellingen geschreven")
                         : QStringLiteral("instellingen niet (allemaal) geschreven")),
        false);
    if (m_abandoned)
        log(LogLevel::Warning,
            QStringLiteral("De lopende verwerking (%1) is na %2 seconden niet gestopt en wordt afgebroken.")
                .arg(m_worker.runningName())
                .arg(AbortToken::kStopGraceMs / 1000),
            false);
}

// A settings file edited on disk since it was read is never overwritten: the program's values go beside it.
bool LinkService::writeSettingsFile(const SettingsStore &store)
{
    if (!store.changedOnDisk())
        return store.write();
    const QString beside = store.filePath() + QLatin1String(kChangedOnDiskSuffix);
    const bool written = store.write(beside);
    log(LogLevel::Warning,
        QStringLiteral("%1 is gewijzigd sinds het programma het las en blijft zoals het is; de instellingen van het "
                       "programma staan in %2.")
            .arg(QDir::toNativeSeparators(store.filePath()), QDir::toNativeSeparators(beside)),
        false);
    return written;
}

void LinkService::logStartLine()
{
    log(LogLevel::Information,
        QStringLiteral("Gestart: versie %1, map %2, database %3, service %4.")
            .arg(m_version.isEmpty() ? QStringLiteral("onbekend") : m_version,
                 QDir::toNativeSeparators(m_folders.program), databaseDescription(),
                 m_controls.text(Control::xSoapServer)),
        false);
}

// Where the dispatch database is, without the password.
QString LinkService::databaseDescription() const
{
    if (m_interactiveDb->dialect().embedded())
        return QStringLiteral("SQLite %1").arg(QDir::toNativeSeparators(m_interactiveDb->sqlitePath()));
    return QStringLiteral("%1 op server %2, database %3, gebruiker %4")
        .arg(m_controls.text(Control::xLoginDriver), m_controls.text(Control::xLoginServer),
             m_controls.text(Control::xLoginDatabase), m_controls.text(Control::xLoginSQL));
}

void LinkService::log(LogLevel level, const QString &message, bool onPage)
{
    const QDateTime now = m_clock->now();
    QString line = LogLine(now, message);
    line.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    {
        const std::lock_guard lock(m_logMutex);
        m_dayLog.append(now, line, level);
    }
    emit logLine(int(level), line, onPage);
}
