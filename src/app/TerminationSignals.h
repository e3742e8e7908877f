#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the event loop, so the program can close the way "SLUITEN" does. The
// signal first trips the program's abort token, so a service call or database statement that blocks the event
// loop gives up within a moment. One instance per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    ~TerminationSignals() override;

    // The number of the last termination signal caught (0: none).
    static int lastSignal();

private:
    std::function<void()> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
};
