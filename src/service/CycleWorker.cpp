#include "service/CycleWorker.h"

#include "base/BlockingWait.h"

#include <chrono>

qint64 CycleWorker::steadyMs() noexcept
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CycleWorker::CycleWorker() = default;

CycleWorker::~CycleWorker()
{
    close();
    if (!m_thread.joinable())
        return;
    if (waitClosed(0))
        m_thread.join();
    else
        m_thread.detach(); // stuck beyond every limit: the process ends without it
}

void CycleWorker::start(std::function<void()> first, std::function<void()> last)
{
    m_first = std::move(first);
    m_last = std::move(last);
    m_thread = std::thread([this] { loop(); });
}

bool CycleWorker::post(const QString &name, std::function<void()> job, WhenBusy whenBusy)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_closing)
            return false;
        const bool busy = m_depth > 0 || !m_queue.empty();
        if (busy && whenBusy == WhenBusy::Drop)
            return false;
        for (const Job &waiting : m_queue) {
            if (waiting.name == name)
                return true; // one run serves both
        }
        m_queue.push_back(Job{name, std::move(job)});
    }
    m_wake.notify_all();
    return true;
}

void CycleWorker::loop()
{
    markProgress();
    if (m_first)
        m_first();
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_closing)
                break;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = job.name;
            ++m_depth;
        }
        markProgress();
        job.run();
        {
            const std::lock_guard lock(m_mutex);
            --m_depth;
            m_running.clear();
        }
    }
    if (m_last)
        m_last();
    {
        const std::lock_guard lock(m_mutex);
        m_ended_ = true;
    }
    m_ended.notify_all();
}

void CycleWorker::runWaitingNow()
{
    for (;;) {
        Job job;
        QString outer;
        {
            const std::lock_guard lock(m_mutex);
            if (m_closing || m_queue.empty() || m_depth == 0)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            outer = m_running;
            m_running = job.name;
            ++m_depth;
        }
        markProgress();
        job.run();
        {
            const std::lock_guard lock(m_mutex);
            --m_depth;
            m_running = outer;
        }
        markProgress();
    }
}

void CycleWorker::markProgress() noexcept
{
    m_lastProgress.store(steadyMs(), std::memory_order_relaxed);
}

bool CycleWorker::busy() const
{
    const std::lock_guard lock(m_mutex);
    return m_depth > 0 || !m_queue.empty();
}

QString CycleWorker::runningName() const
{
    const std::lock_guard lock(m_mutex);
    return m_running;
}

QStringList CycleWorker::waitingNames() const
{
    const std::lock_guard lock(m_mutex);
    QStringList names;
    for (const Job &job : m_queue)
        names << job.name;
    return names;
}

bool CycleWorker::healthy(qint64 stepLimitMs) const
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_depth == 0)
            return true;
    }
    return steadyMs() - m_lastProgress.load(std::memory_order_relaxed) < stepLimitMs || BlockingWait::withinLimit();
}

void CycleWorker::close()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
        m_queue.clear();
    }
    m_wake.notify_all();
}

bool CycleWorker::waitClosed(int ms)
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable())
        return true;
    return m_ended.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_ended_; });
}

bool CycleWorker::closed() const
{
    const std::lock_guard lock(m_mutex);
    return m_ended_ || !m_thread.joinable();
}
