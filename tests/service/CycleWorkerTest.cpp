#include "service/CycleWorker.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

// The worker runs one job at a time in the order they came; a request that may wait under a name that already
// waits adds nothing; a request that must not wait is dropped while anything runs or waits.
TEST(CycleWorker, OneJobAtATimeInOrderWithDropAndMerge)
{
    CycleWorker worker;
    std::mutex mutex;
    QStringList order;
    std::atomic<bool> release{false};
    auto note = [&](const QString &text) {
        const std::lock_guard lock(mutex);
        order << text;
    };
    worker.start();
    ASSERT_TRUE(worker.post(
        QStringLiteral("a"),
        [&] {
            note(QStringLiteral("a"));
            while (!release)
                QThread::msleep(5);
        },
        CycleWorker::WhenBusy::Drop));
    while (worker.runningName() != QStringLiteral("a"))
        QThread::msleep(5);
    EXPECT_FALSE(worker.post(
        QStringLiteral("klik"), [&] { note(QStringLiteral("klik")); }, CycleWorker::WhenBusy::Drop));
    EXPECT_TRUE(worker.post(
        QStringLiteral("b"), [&] { note(QStringLiteral("b")); }, CycleWorker::WhenBusy::Queue));
    EXPECT_TRUE(worker.post(
        QStringLiteral("c"), [&] { note(QStringLiteral("c")); }, CycleWorker::WhenBusy::Queue));
    EXPECT_TRUE(worker.post(
        QStringLiteral("b"), [&] { note(QStringLiteral("b2")); }, CycleWorker::WhenBusy::Queue));
    EXPECT_EQ(worker.waitingNames(), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    release = true;
    while (worker.busy())
        QThread::msleep(5);
    EXPECT_EQ(order, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    worker.close();
    EXPECT_TRUE(worker.waitClosed(5000));
    EXPECT_FALSE(worker.post(
        QStringLiteral("d"), [] {}, CycleWorker::WhenBusy::Queue));
}

// What belongs to the thread is made and ended on it.
TEST(CycleWorker, FirstAndLastRunOnTheWorkerThread)
{
    CycleWorker worker;
    std::atomic<QThread *> first{nullptr};
    std::atomic<QThread *> job{nullptr};
    std::atomic<QThread *> last{nullptr};
    worker.start([&] { first = QThread::currentThread(); }, [&] { last = QThread::currentThread(); });
    worker.post(
        QStringLiteral("job"), [&] { job = QThread::currentThread(); }, CycleWorker::WhenBusy::Queue);
    while (worker.busy() || !job)
        QThread::msleep(5);
    worker.close();
    ASSERT_TRUE(worker.waitClosed(5000));
    EXPECT_NE(first.load(), QThread::currentThread());
    EXPECT_EQ(first.load(), job.load());
    EXPECT_EQ(last.load(), job.load());
}
