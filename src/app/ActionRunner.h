#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// The log line of the error hook: the time as "dd-mm-yyyy hh:nn ", one more blank, then the message.
QString LogLine(const QDateTime &at, const QString &message);

// Runs every action of a timer, button or tray item: an error that escapes the action goes to the error hook and
// never into the event loop. The retrieval cycle, manual processing and the return-message cycle share the
// database connection and the ride queries, so these exclusive actions never run inside one another: a start
// request while one of them runs is dropped.
class ActionRunner {
public:
    enum class Outcome { Done, Failed, Dropped };

    explicit ActionRunner(std::function<void(const QString &message)> errorHook);

    // Runs the action; returns false when it ended with an error.
    bool run(const std::function<void()> &action) noexcept;

    // Runs an exclusive action unless one is running.
    Outcome runExclusive(const std::function<void()> &action) noexcept;

    bool exclusiveRunning() const { return m_exclusiveRunning; }

private:
    std::function<void(const QString &)> m_errorHook;
    bool m_exclusiveRunning = false;
};
