#include "service/ActionRunner.h"

#include "base/FormatDateTime.h"
#include "base/LogLineText.h"
#include "base/VoranoError.h"

#include <exception>

QString LogLine(const QDateTime &at, const QString &message)
{
    return FormatDateTime(QLatin1String(kLogLinePattern), at) + QLatin1Char(' ') + LogMessageText(message);
}

ActionRunner::ActionRunner(std::function<void(const QString &message)> errorHook)
    : m_errorHook(std::move(errorHook))
{
}

bool ActionRunner::run(const std::function<void()> &action) noexcept
{
    if (!action)
        return true;
    QString message;
    try {
        action();
        return true;
    } catch (const VoranoError &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message = QStringLiteral("Onbekende fout");
    }
    try {
        if (m_errorHook)
            m_errorHook(message);
    } catch (...) {
        // An error while writing a log line is not handled further.
    }
    return false;
}

ActionRunner::Outcome ActionRunner::runExclusive(const std::function<void()> &action) noexcept
{
    if (m_exclusiveRunning)
        return Outcome::Dropped;
    return runExclusiveNow(action);
}

ActionRunner::Outcome ActionRunner::runExclusiveOrDefer(const QString &name, std::function<void()> action) noexcept
{
    if (!m_exclusiveRunning)
        return runExclusiveNow(action);
    try {
        if (!deferredNames().contains(name))
            m_deferred.append(Deferred{name, std::move(action)});
    } catch (...) {
        return Outcome::Dropped; // out of memory: as before, the request is lost
    }
    return Outcome::Deferred;
}

// Runs the action, then whatever was deferred while it ran, one after another; requests deferred during those
// runs join the queue.
ActionRunner::Outcome ActionRunner::runExclusiveNow(const std::function<void()> &action) noexcept
{
    m_exclusiveRunning = true;
    const bool ok = run(action);
    runDeferredNow();
    m_exclusiveRunning = false;
    return ok ? Outcome::Done : Outcome::Failed;
}

void ActionRunner::runDeferredNow() noexcept
{
    if (!m_exclusiveRunning)
        return;
    while (!m_deferred.isEmpty()) {
        Deferred next = m_deferred.takeFirst();
        run(next.action);
    }
}

QStringList ActionRunner::deferredNames() const
{
    QStringList names;
    for (const Deferred &d : m_deferred)
        names << d.name;
    return names;
}
