#pragma once

#include "base/Clock.h"
#include "base/CycleOutcome.h"
#include "base/LogDayFiles.h"
#include "base/LogLevel.h"
#include "base/ProgramFolders.h"
#include "link/TextList.h"
#include "service/CycleWorker.h"
#include "service/Operations.h"
#include "service/ServiceMonitor.h"
#include "service/SharedControls.h"
#include "service/ShellTimers.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <mutex>

class AbortToken;
class DispatchDb;
class ServiceNotifier;

// What the link service needs from the program start.
struct ServiceSetup {
    QString programFile;          // the running program file (the source of the program backup)
    QString dataFolder;           // the working folder: settings, logs, copies; empty: the program file's folder
    TimerIntervals intervals;     // the timer intervals (tests shorten them)
    const Clock *clock = nullptr; // the clock of the log lines and the operations; null: the system clock
    bool startTimers = true;
    // The service manager's notifications (ready, status, watchdog, stopping); null: none.
    const ServiceNotifier *notifier = nullptr;
    // The stop token of the program: tripped at a stop, watched by every call and statement; null: one of the
    // service's own.
    AbortToken *stopToken = nullptr;
    // How long a cycle may go between two marks of progress before it counts as stuck (tests shorten it).
    qint64 stepLimitMs = 90000;
};

// The link service: everything the program does without a window. It owns the settings (the two stores over
// controls in memory), the timers, the database connection, the cycles on a worker thread of their own, the
// monitor (status file, service manager status, failure warning), the day log and the stop. The window is a
// view of it; a server runs it alone.
//
// The main thread (the one that made the service) keeps the timers, the signals and the service manager; it never
// waits for a cycle. A cycle runs on the worker thread, one at a time.
class LinkService : public QObject
{
    Q_OBJECT
  public:
    // Reads both settings files. Throws XmlParseError when a settings file is not well-formed and FileError when
    // one cannot be read; nothing is written then.
    LinkService(Operations operations, ServiceSetup setup, QObject *parent = nullptr);
    // Ends the work (as stop does, waiting up to the stop grace) and writes both settings files.
    ~LinkService() override;

    // Creates the folders, applies the settings, logs the start line, starts the worker and the timers.
    void start();

    // Begins the end: the stop token trips, no new cycle starts, the service manager hears "stopping" at once. When
    // the running cycle has ended (or the stop grace has passed) the settings files and the status file are
    // written, the stop line is logged and stopped() is emitted. The first reason given counts.
    void stop(const QString &reason);
    bool stopping() const { return m_stopping; }
    // Whether the worker was left behind stuck at the stop (the process should end without waiting for it).
    bool workerAbandoned() const { return m_abandoned; }

    // Reads both settings files again and applies them (SIGHUP): after the running cycle, before the next one. A
    // file that cannot be read leaves the settings as they are, with an error line.
    void reloadSettings();

    // Starts a retrieval now ("UPDATE MANUEEL"); false when another job runs (the request is dropped).
    bool runRetrievalNow();
    // Processes a saved reply file ("Handmatig verwerken"); false when another job runs.
    bool runManualProcessing(const QString &path);
    // Runs an operation on the worker (a reference list's button); false when another job runs.
    bool runOnWorker(const QString &name, const Operation &operation);
    // Runs an operation of the window on the main thread, with the window's own database connection (TEST, ZOEK
    // EIGENAAR, UPDATE CONTROLE: they show dialogs). Errors become log lines.
    void runInteractive(const Operation &operation, QWidget *window);

    // The settings go from the controls into the stores (in memory only).
    void saveSettings();
    // The window size is stored with the main settings; the window hands itself in once it exists.
    void attachPlacement(PlacementTarget *window);

    // One log line: the page (when onPage), the day file and standard error. Any thread.
    void log(LogLevel level, const QString &message, bool onPage = true);

    Controls &controls() { return m_controls; }
    SharedControls &sharedControls() { return m_controls; }
    ShellTimers &timers() { return *m_timers; }
    CycleWorker &worker() { return m_worker; }
    ServiceMonitor &monitor() { return *m_monitor; }
    const ProgramFolders &folders() const { return m_folders; }
    const QString &version() const { return m_version; }
    // The watchdog's verdict: the worker is idle, progressing or waiting within a limit.
    bool workHealthy() const;

    static constexpr const char *kChangedOnDiskSuffix = ".nieuw";

  signals:
    // A log line as the page shows it ("dd-mm-yyyy hh:nn  message"); from any thread, delivered on the main one.
    void logLine(int level, const QString &line, bool onPage);
    // The stop is complete: files written, the program may end.
    void stopped();

  private:
    OperationContext context(DispatchDb &db, EventPump &pump, TextList &results);
    void post(CycleKind kind, const QString &name, Cycle cycle, CycleWorker::WhenBusy whenBusy);
    bool databaseFree();
    void postReferenceRefresh();
    void cycleEnded(CycleKind kind, bool ok, const CycleOutcome &outcome, const QString &firstError,
                    bool cutByStop = false);
    void feedWatchdog();
    void finishStop();
    void writeFiles();
    bool writeSettingsFile(const SettingsStore &store);
    void applyStores();
    void logStartLine();
    void warnProblems(const QString &when);
    QString databaseDescription() const;

    Operations m_ops;
    ServiceSetup m_setup;
    SystemClock m_systemClock;
    const Clock *m_clock;
    std::unique_ptr<AbortToken> m_ownToken;
    AbortToken *m_token;
    ProgramFolders m_folders;
    QString m_version;
    std::mutex m_logMutex;
    LogDayFiles m_dayLog;
    SharedControls m_controls;
    std::mutex m_storeMutex;
    SettingsStore m_mainStore;
    SettingsStore m_baseStore;
    PlacementTarget *m_placement = nullptr;
    bool m_savedSinceApply = false;
    ServiceFactory m_service;
    TextList m_resultList;                       // the worker's
    TextList m_interactiveResults;               // the window's dialogs'
    std::unique_ptr<DispatchDb> m_db;            // the worker's connection (ADO), made and closed on the worker thread
    std::unique_ptr<DispatchDb> m_interactiveDb; // the window's dialogs' connection, on the main thread
    std::atomic<bool> m_reconnect{false};
    QString m_claimRefused; // the worker's: the line said while another installation holds the database
    std::unique_ptr<ShellTimers> m_timers;
    std::unique_ptr<ServiceMonitor> m_monitor;
    QTimer m_watchdog;
    QTimer m_stopPoll;
    qint64 m_stopStarted = 0;
    QString m_stopReason;
    bool m_started = false;
    bool m_stopping = false;
    bool m_finished = false;
    bool m_abandoned = false;
    CycleWorker m_worker; // last: its thread uses the members above until it has ended
};
