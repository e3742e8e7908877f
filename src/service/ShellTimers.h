#pragma once

#include "settings/Controls.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Intervals of the main window's timers in milliseconds; tests shorten them.
struct TimerIntervals {
    int mainTimer = 1000;
    int minute = 60000;     // one minute of xInterval
    int basisFirst = 10000; // BasisTabellen until the reference lists were fetched once
    int basisNext = 900000; // BasisTabellen after that
    int retour = 60000;
    int starter = 30000;
};

// The interval of Controle from the text of xInterval: the whole number of its leading decimal digits (after
// leading blanks) in minutes; no digits, 0 or a negative number count as 1 minute. Intervals beyond what a timer
// can hold are cut to the longest one.
int ControleInterval(const QString &xInterval, int minuteMs = 60000);

// What the timers start. Each action handles its own errors (the window runs it through its error wrapper).
struct TimerActions {
    // Runs a timer event so that no error escapes into the event loop (the window's error wrapper).
    std::function<void(const std::function<void()> &event)> wrap;
    std::function<void()> retrievalCycle;
    // Starts a refresh of the reference lists; its end comes back through ShellTimers::referenceRefreshEnded.
    std::function<void()> referenceRefresh;
    std::function<void()> returnCycle;
    std::function<void()> programBackup;
};

// The five timers of the main window and how they arm one another:
//  MainTimer (1 s) arms Controle with the interval of xInterval while xAuto is checked and Controle is idle;
//  Controle runs one retrieval cycle and is enabled again after it, also after a failed cycle;
//  BasisTabellen (10 s, then 15 min once a refresh succeeded) refreshes the reference lists while xAuto is checked;
//  RetourTimer (60 s) runs the return-message cycle; Starter (30 s, once) makes the program backup.
class ShellTimers : public QObject
{
    Q_OBJECT
  public:
    ShellTimers(const Controls &controls, TimerActions actions, TimerIntervals intervals = {},
                QObject *parent = nullptr);

    // Starts MainTimer, BasisTabellen, RetourTimer and Starter counting.
    void start();

    // The timer events; the timers call them, tests may too.
    void mainTimerTick();
    void controleTick();
    void basisTabellenTick();
    void retourTimerTick();
    void starterTick();

    // A refresh started by BasisTabellen has ended; fetched: the four lists came. After a refresh that ran
    // through the lists are refreshed every 15 minutes; until then the next try waits longer after every
    // failure (10 s, 20 s, ... up to 15 minutes), so a service that fails does not cost a fetch every 10 s.
    void referenceRefreshEnded(bool fetched);
    // The interval setting changed (a reload): the next retrieval counts from now with the new interval.
    void rearmControle();

    QTimer &mainTimer() { return m_main; }
    QTimer &controle() { return m_controle; }
    QTimer &basisTabellen() { return m_basis; }
    QTimer &retourTimer() { return m_retour; }
    QTimer &starter() { return m_starter; }

  private:
    void onTimeout(QTimer &timer, void (ShellTimers::*event)());
    void enable(QTimer &timer);
    void setInterval(QTimer &timer, int ms);

    const Controls &m_controls;
    TimerActions m_actions;
    TimerIntervals m_intervals;
    QTimer m_main;
    QTimer m_controle;
    QTimer m_basis;
    QTimer m_retour;
    QTimer m_starter;
    bool m_refreshing = false;
    int m_refreshFailures = 0;
};
