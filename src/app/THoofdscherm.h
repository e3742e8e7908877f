#pragma once

#include "app/ActionRunner.h"
#include "app/ControlRegistry.h"
#include "app/Operations.h"
#include "app/ServiceMonitor.h"
#include "app/ShellTimers.h"
#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/LogDayFiles.h"
#include "base/ProgramFolders.h"
#include "link/TextList.h"
#include "settings/SettingsStore.h"

#include <QMainWindow>

#include <memory>

class DispatchDb;
class ServiceNotifier;
class QMenu;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTabWidget;
class SettingsPage;

inline constexpr const char *kApplicationTitle = "Taxis Vorano Soap Cliënt voor Ostrel";

// What the main window needs from the program start.
struct ShellSetup {
    QString programFile;          // the running program file (the source of the program backup)
    QString dataFolder;           // the working folder: settings, logs, copies; empty: the program file's folder
    TimerIntervals intervals;     // the timer intervals (tests shorten them)
    const Clock *clock = nullptr; // the clock of the log lines and the operations; null: the system clock
    bool startTimers = true;
    // The service manager's notifications (status after each cycle, stopping); null: none.
    const ServiceNotifier *notifier = nullptr;
    // Whether the desktop has a notification area; empty: ask the platform.
    std::function<bool()> trayAvailable;
};

// The main window ("Hoofdscherm"). It owns the settings controls, the timers, the tray icon, the two settings
// stores, the result list and the database, and starts the operations of the other subsystems from its timers,
// buttons and tray menu. It works through the controls interface: operations read the settings from it.
class THoofdscherm : public QMainWindow, public Controls, public PlacementTarget
{
    Q_OBJECT
  public:
    // Creates the window and runs the start-up steps. Throws XmlParseError when a settings file is not
    // well-formed (nothing is then written) and FileError when one cannot be read.
    THoofdscherm(Operations operations, ShellSetup setup, QWidget *parent = nullptr);
    // Saves the settings when no save happened since they were applied, and writes both settings files.
    ~THoofdscherm() override;

    // Controls
    QString text(Control c) const override { return m_controls.text(c); }
    void setText(Control c, const QString &value) override { m_controls.setText(c, value); }
    bool checked(Control c) const override { return m_controls.checked(c); }
    void setChecked(Control c, bool value) override { m_controls.setChecked(c, value); }
    QStringList lines(Control c) const override { return m_controls.lines(c); }
    void setLines(Control c, const QStringList &value) override { m_controls.setLines(c, value); }
    QWidget *controlWidget(Control c) const { return m_controls.widget(c); }

    // PlacementTarget
    WindowPlacement placement() const override;
    void setPlacement(const WindowPlacement &placement) override;
    int pixelsPerInch() const override;

    // The actions of the buttons and the tray menu.
    void updateManueel();         // "UPDATE MANUEEL", tray "Update"
    void handmatigVerwerken();    // "Handmatig verwerken"
    void verbergenNaarTaakbalk(); // "VERBERGEN NAAR TAAKBALK"
    void sluiten();               // "SLUITEN", tray "Sluiten", SIGTERM and SIGINT
    void showDetails();           // tray "Details" and a double click on the tray icon

    // The error hook: one line in the log per error, on the page, in the day file and on standard error.
    void logError(const QString &message);
    // A line for the day file and standard error only (the journal), not for the page.
    void logJournal(LogLevel level, const QString &message);

    // Reads both settings files again and applies them (SIGHUP); waits for a running cycle to end first. A file
    // that cannot be read leaves the settings as they are, with an error line.
    void reloadSettings();

    // Why the program ends, for the stop line ("signaal SIGTERM"); the first reason given counts.
    void setStopReason(const QString &reason);
    ServiceMonitor &monitor() { return *m_monitor; }

    ShellTimers &timers() { return *m_timers; }
    ActionRunner &runner() { return m_runner; }
    const ProgramFolders &folders() const { return m_folders; }
    TextList &resultList() { return m_resultList; }
    DispatchDb &database() { return *m_db; }
    QTabWidget *pageControl() const { return m_pages; }
    SettingsPage *settingsPage() const { return m_settingsPage; }
    QPlainTextEdit *logboek() const { return m_logboek; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QMenu *trayMenu() const { return m_trayMenu; }

    // Beside a settings file edited on disk while the program ran: the program's own values at its end.
    static constexpr const char *kChangedOnDiskSuffix = ".nieuw";
    // The lines the page "Logboek" keeps; the oldest go first. The day files keep every line.
    static constexpr int kLogboekMaxLines = 10000;

    static constexpr const char *kBusyText =
        "Er loopt al een verwerking; de opdracht is niet gestart. Probeer het straks opnieuw.";

  signals:
    // The window was closed; the program ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void buildWindow();
    void buildTray();
    void startUp();
    void saveSettings();
    void hideToTray();
    void rememberNormalGeometry();
    bool trayAvailable() const;
    OperationContext context();
    void runOperation(const Operation &operation);
    void runExclusive(const Operation &operation, bool clicked);
    void runCycle(CycleKind kind, const Cycle &cycle);
    void cycleEnded(CycleKind kind, bool ok, const CycleOutcome &outcome, const QString &firstError);
    void logStart();
    void appendLog(LogLevel level, const QString &message, bool onPage);
    bool writeSettingsFile(const SettingsStore &store);
    QString databaseDescription() const;
    bool refreshReferenceLists();

    Operations m_ops;
    ShellSetup m_setup;
    SystemClock m_systemClock;
    const Clock *m_clock;
    QtEventPump m_pump;
    ProgramFolders m_folders;
    LogDayFiles m_dayLog;
    TextList m_resultList;
    ControlRegistry m_controls;
    ActionRunner m_runner;
    SettingsStore m_mainStore;
    SettingsStore m_baseStore;
    bool m_savedSinceApply = false;
    bool m_closed = false;
    ServiceFactory m_service;
    std::unique_ptr<DispatchDb> m_db; // the one connection (ADO)
    std::unique_ptr<ShellTimers> m_timers;
    std::unique_ptr<ServiceMonitor> m_monitor;
    QString m_stopReason;
    WindowPlacement m_storedPositions; // minimised and maximised positions as stored; Qt does not use them
    bool m_wasMaximized = true;
    QRect m_normal; // the restored (not maximised, not minimised) rectangle

    QTabWidget *m_pages = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    QPlainTextEdit *m_logboek = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
};
