#pragma once

#include "app/ControlRegistry.h"
#include "service/ActionRunner.h"
#include "service/Operations.h"
#include "settings/WindowPlacement.h"

#include <QMainWindow>
#include <QRect>

#include <functional>

class LinkService;
class QMenu;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTabWidget;
class SettingsPage;

inline constexpr const char *kApplicationTitle = "Taxis Vorano Soap Cliënt voor Ostrel";

// What the window needs besides the service.
struct WindowSetup {
    // Whether the desktop has a notification area; empty: ask the platform.
    std::function<bool()> trayAvailable;
    // Asks which reply file "Handmatig verwerken" processes; empty text: none. Empty: the file-open dialog.
    std::function<QString(QWidget *window)> chooseReplyFile;
};

// The main window ("Hoofdscherm"): a view of the link service. It shows and edits the service's controls, forwards
// its buttons and tray menu to the service, and shows the log. It owns no timer, no store and no database, and
// runs no cycle; only the operations that show a dialog (TEST, ZOEK EIGENAAR, UPDATE CONTROLE) run on its thread.
class THoofdscherm : public QMainWindow, public Controls, public PlacementTarget
{
    Q_OBJECT
  public:
    THoofdscherm(LinkService &service, Operations operations, WindowSetup setup = {}, QWidget *parent = nullptr);
    ~THoofdscherm() override;

    // Controls: the service's, which the widgets show.
    QString text(Control c) const override;
    void setText(Control c, const QString &value) override;
    bool checked(Control c) const override;
    void setChecked(Control c, bool value) override;
    QStringList lines(Control c) const override;
    void setLines(Control c, const QStringList &value) override;
    QWidget *controlWidget(Control c) const { return m_controls.widget(c); }

    // PlacementTarget
    WindowPlacement placement() const override;
    void setPlacement(const WindowPlacement &placement) override;
    int pixelsPerInch() const override;

    // The actions of the buttons and the tray menu.
    void updateManueel();         // "UPDATE MANUEEL", tray "Update"
    void handmatigVerwerken();    // "Handmatig verwerken"
    void verbergenNaarTaakbalk(); // "VERBERGEN NAAR TAAKBALK"
    void sluiten();               // "SLUITEN", tray "Sluiten"
    void showDetails();           // tray "Details" and a double click on the tray icon

    // An error line, on the page, in the day file and on standard error.
    void logError(const QString &message);

    LinkService &service() { return m_service; }
    ActionRunner &runner() { return m_runner; }
    QTabWidget *pageControl() const { return m_pages; }
    SettingsPage *settingsPage() const { return m_settingsPage; }
    QPlainTextEdit *logboek() const { return m_logboek; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QMenu *trayMenu() const { return m_trayMenu; }

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
    void showControl(Control c);
    void watchWidget(Control c);
    void hideToTray();
    void rememberNormalGeometry();
    bool trayAvailable() const;
    void showBusy();
    void runInteractive(const Operation &operation);
    void runOnWorker(const QString &name, const Operation &operation);

    LinkService &m_service;
    Operations m_ops;
    WindowSetup m_setup;
    ControlRegistry m_controls;
    ActionRunner m_runner;
    bool m_showing = false; // a value of the service is being shown: the widget's change is no edit
    bool m_closed = false;
    WindowPlacement m_storedPositions; // minimised and maximised positions as stored; Qt does not use them
    bool m_wasMaximized = true;
    QRect m_normal; // the restored (not maximised, not minimised) rectangle

    QTabWidget *m_pages = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    QPlainTextEdit *m_logboek = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
};
