#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The thread that does the link service's work: one job at a time, in the order they came. The retrieval, the
// return messages, the reference lists and manual processing share the database connection and the ride queries,
// so they never run side by side. The thread that answers the service manager and the signals only posts jobs and
// asks how the work goes; it never waits for a job.
//
// A job marks its progress (between items, around each bounded wait); a job that neither progressed within the
// step limit nor waits within a limit of its own counts as stuck (see healthy).
class CycleWorker
{
  public:
    enum class WhenBusy {
        Drop,  // a request while a job runs or waits is dropped (a click, a timer tick that comes again)
        Queue, // kept and run after the running job; a request under a name that already waits adds nothing
    };

    CycleWorker();
    // Ends the thread once its running job has ended; a thread still stuck is left behind (see close).
    ~CycleWorker();
    CycleWorker(const CycleWorker &) = delete;
    CycleWorker &operator=(const CycleWorker &) = delete;

    // Starts the thread; `first` runs on it before any job (it makes what belongs to the thread: the database
    // connection), `last` after the last job when the worker closes.
    void start(std::function<void()> first = {}, std::function<void()> last = {});

    // Posts a job; false when it was dropped. Any thread.
    bool post(const QString &name, std::function<void()> job, WhenBusy whenBusy);

    // From inside a running job, at a point where it holds no result set and no transaction: runs the jobs that
    // were queued meanwhile (a retrieval that fell due during a long return cycle), then returns.
    void runWaitingNow();

    // The running job marks that it moved on (between items); any thread.
    void markProgress() noexcept;

    // Whether a job is running or waiting.
    bool busy() const;
    QString runningName() const;
    QStringList waitingNames() const;

    // Whether the work goes as it should: idle, or the running job progressed within stepLimitMs, or it waits
    // in a call that has a limit of its own that has not passed.
    bool healthy(qint64 stepLimitMs) const;

    // No new jobs; waiting ones are dropped; the thread runs `last` and ends after the running job.
    void close();
    // Waits up to ms for the thread to end (after close); true when it did.
    bool waitClosed(int ms);
    // Whether the thread has ended.
    bool closed() const;

    static qint64 steadyMs() noexcept;

  private:
    struct Job {
        QString name;
        std::function<void()> run;
    };
    void loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ended;
    std::deque<Job> m_queue;
    QString m_running;
    int m_depth = 0; // jobs running (more than one while runWaitingNow runs a waiting one)
    bool m_closing = false;
    bool m_ended_ = false;
    std::atomic<qint64> m_lastProgress{0};
    std::function<void()> m_first;
    std::function<void()> m_last;
    std::thread m_thread;
};
