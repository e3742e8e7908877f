#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The log line of the error hook: the time as "dd-mm-yyyy hh:nn ", one more blank, then the message as one line
// of bounded length (LogMessageText).
QString LogLine(const QDateTime &at, const QString &message);

// Runs every action of a timer, button or tray item: an error that escapes the action goes to the error hook and
// never into the event loop. The retrieval cycle, manual processing and the return-message cycle share the
// database connection and the ride queries, so these exclusive actions never run inside one another: a start
// request while one of them runs is dropped, or deferred until the running one has ended.
class ActionRunner
{
  public:
    enum class Outcome { Done, Failed, Dropped, Deferred };

    explicit ActionRunner(std::function<void(const QString &message)> errorHook);

    // Runs the action; returns false when it ended with an error.
    bool run(const std::function<void()> &action) noexcept;

    // Runs an exclusive action unless one is running; then the request is dropped.
    Outcome runExclusive(const std::function<void()> &action) noexcept;

    // Runs an exclusive action, or, while one is running, keeps the request and runs it as soon as the running
    // action has ended (requests kept meanwhile run in the order they came). A request under a name that is
    // already waiting adds nothing: one run serves both.
    Outcome runExclusiveOrDefer(const QString &name, std::function<void()> action) noexcept;

    // Runs the requests deferred so far, from inside the running exclusive action at a point where they can run
    // safely (requests deferred meanwhile run too). Does nothing when no exclusive action runs.
    void runDeferredNow() noexcept;

    bool exclusiveRunning() const { return m_exclusiveRunning; }
    QStringList deferredNames() const;
    // Forgets the waiting requests (the program is ending).
    void dropDeferred() { m_deferred.clear(); }

  private:
    struct Deferred {
        QString name;
        std::function<void()> action;
    };
    Outcome runExclusiveNow(const std::function<void()> &action) noexcept;

    std::function<void(const QString &)> m_errorHook;
    bool m_exclusiveRunning = false;
    QList<Deferred> m_deferred;
};
