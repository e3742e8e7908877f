#pragma once

#include <QObject>

#include <functional>

class AbortToken;
class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the event loop, so the program can close the way "SLUITEN" does. The
// signal first trips the program's stop token, so a service call or database statement that blocks gives up
// within a moment. One instance per process. Windows: the console control events instead
// (TerminationSignalsWin.cpp).
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    TerminationSignals(AbortToken &stop, std::function<void()> onSignal, QObject *parent = nullptr);
    ~TerminationSignals() override;

    // SIGHUP (a service manager's reload) becomes a call of onHangup on the event loop.
    void setHangupHandler(std::function<void()> onHangup);

    // The number of the last termination signal caught (0: none).
    static int lastSignal();

private:
    std::function<void()> m_onSignal;
    std::function<void()> m_onHangup;
    QSocketNotifier *m_notifier = nullptr;
};
