#include "service/ShellTimers.h"
#include "service/ActionRunner.h"
#include "base/VoranoError.h"
#include "settings/MemoryControls.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ControleInterval, LeadingDigitsInMinutes)
{
    const struct {
        const char *text;
        int ms;
    } cases[] = {
        {"5", 300000},
        {"5 min", 300000},
        {"  12", 720000},
        {"", 60000},
        {"0", 60000},
        {"-", 60000},
        {"-5", 60000},
        {"x", 60000},
        {"2a", 120000},
        {"007", 420000},
        {"99999999999", 2147483647},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ControleInterval(QString::fromLatin1(c.text)), c.ms) << c.text;
}

namespace
{

struct TimerFixture : testing::Test {
    MemoryControls controls;
    int cycles = 0;
    int refreshes = 0;
    int returns = 0;
    int backups = 0;
    bool refreshSucceeds = true;
    std::function<void()> duringCycle;
    ShellTimers *current = nullptr; // the timers that hear the end of a refresh
    TimerActions actions()
    {
        TimerActions a;
        a.retrievalCycle = [this] {
            ++cycles;
            if (duringCycle)
                duringCycle();
        };
        a.referenceRefresh = [this] {
            ++refreshes;
            if (current)
                current->referenceRefreshEnded(refreshSucceeds);
        };
        a.returnCycle = [this] { ++returns; };
        a.programBackup = [this] { ++backups; };
        return a;
    }
};

} // namespace

TEST_F(TimerFixture, MainTimerArmsControleOnlyWhileAutoIsChecked)
{
    ShellTimers timers(controls, actions());
    timers.start();
    EXPECT_TRUE(timers.mainTimer().isActive());
    EXPECT_FALSE(timers.controle().isActive());
    EXPECT_EQ(timers.basisTabellen().interval(), 10000);
    EXPECT_EQ(timers.retourTimer().interval(), 60000);
    EXPECT_EQ(timers.starter().interval(), 30000);

    timers.mainTimerTick();
    EXPECT_FALSE(timers.controle().isActive());

    controls.setChecked(Control::xAuto, true);
    controls.setText(Control::xInterval, QStringLiteral("3 minuten"));
    timers.mainTimerTick();
    EXPECT_TRUE(timers.controle().isActive());
    EXPECT_EQ(timers.controle().interval(), 180000);

    // Armed: a changed interval waits for the next arming; unchecking xAuto does not stop Controle.
    controls.setText(Control::xInterval, QStringLiteral("7"));
    timers.mainTimerTick();
    EXPECT_EQ(timers.controle().interval(), 180000);
    controls.setChecked(Control::xAuto, false);
    timers.mainTimerTick();
    EXPECT_TRUE(timers.controle().isActive());
}

TEST_F(TimerFixture, ControleRunsOneCycleAndIsEnabledAgainAlsoAfterAnError)
{
    ShellTimers timers(controls, actions());
    controls.setChecked(Control::xAuto, true);
    controls.setText(Control::xInterval, QStringLiteral("2"));
    timers.mainTimerTick();

    bool disabledDuringCycle = false;
    duringCycle = [&] { disabledDuringCycle = !timers.controle().isActive(); };
    controls.setText(Control::xInterval, QStringLiteral("4"));
    timers.controleTick();
    EXPECT_EQ(cycles, 1);
    EXPECT_TRUE(disabledDuringCycle);
    EXPECT_TRUE(timers.controle().isActive());
    EXPECT_EQ(timers.controle().interval(), 240000);

    duringCycle = [] { throw std::runtime_error("kapot"); };
    EXPECT_THROW(timers.controleTick(), std::runtime_error);
    EXPECT_EQ(cycles, 2);
    EXPECT_TRUE(timers.controle().isActive());
}

TEST_F(TimerFixture, MainTimerDuringACycleArmsControleOnce)
{
    ShellTimers timers(controls, actions());
    controls.setChecked(Control::xAuto, true);
    timers.mainTimerTick();
    int remainingAfterInnerArming = -1;
    duringCycle = [&] {
        // The pass of the message loop inside the cycle: MainTimer finds Controle idle and arms it.
        timers.mainTimerTick();
        remainingAfterInnerArming = timers.controle().remainingTime();
    };
    timers.controleTick();
    EXPECT_TRUE(timers.controle().isActive());
    // Step 4 did not restart the count that began during the cycle.
    EXPECT_LE(timers.controle().remainingTime(), remainingAfterInnerArming);
}

// A failing refresh is tried again later each time (a service that fails is not asked every 10 s), never later
// than the regular interval; once the lists came they are refreshed at the regular interval, also after a failure.
TEST_F(TimerFixture, BasisTabellenWaitsForAutoAndRetriesWithAGrowingInterval)
{
    ShellTimers timers(controls, actions());
    current = &timers;
    timers.start();
    timers.basisTabellenTick();
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(timers.basisTabellen().interval(), 10000);

    controls.setChecked(Control::xAuto, true);
    refreshSucceeds = false;
    QList<int> intervals;
    for (int i = 0; i < 8; ++i) {
        timers.basisTabellenTick();
        intervals << timers.basisTabellen().interval();
    }
    EXPECT_EQ(refreshes, 8);
    EXPECT_EQ(intervals, (QList<int>{20000, 40000, 80000, 160000, 320000, 640000, 899999, 899999}));

    refreshSucceeds = true;
    timers.basisTabellenTick();
    EXPECT_EQ(refreshes, 9);
    EXPECT_EQ(timers.basisTabellen().interval(), 900000);
    EXPECT_TRUE(timers.basisTabellen().isActive());
    refreshSucceeds = false;
    timers.basisTabellenTick();
    EXPECT_EQ(timers.basisTabellen().interval(), 900000);
}

TEST_F(TimerFixture, StarterRunsOnceAndRetourTimerEveryTick)
{
    ShellTimers timers(controls, actions());
    timers.start();
    timers.starterTick();
    EXPECT_FALSE(timers.starter().isActive());
    EXPECT_EQ(backups, 1);
    timers.retourTimerTick();
    timers.retourTimerTick();
    EXPECT_EQ(returns, 2);
    EXPECT_TRUE(timers.retourTimer().isActive());
}

// The timers on short intervals with a real event loop: cycles go on while xAuto is checked, a long cycle that
// lets the loop run gets no cycle inside it, and every tick goes through the wrapper.
TEST_F(TimerFixture, ShortIntervalsRunWithoutNesting)
{
    TimerIntervals fast;
    fast.mainTimer = 2;
    fast.minute = 10;
    fast.basisFirst = 5;
    fast.basisNext = 1000000;
    fast.retour = 5;
    fast.starter = 5;
    int depth = 0;
    int deepest = 0;
    QStringList errors;
    ActionRunner runner([&](const QString &m) { errors << m; });
    TimerActions a = actions();
    a.wrap = [&](const std::function<void()> &tick) { runner.run(tick); };
    a.retrievalCycle = [&] {
        runner.runExclusive([&] {
            ++cycles;
            deepest = std::max(deepest, ++depth);
            const QDeadlineTimer busy(30); // longer than the interval, letting the loop run
            while (!busy.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            --depth;
            if (cycles == 2)
                throw VoranoError(QStringLiteral("tweede cyclus mislukt"));
        });
    };
    controls.setChecked(Control::xAuto, true);
    ShellTimers timers(controls, a, fast);
    timers.start();
    const QDeadlineTimer deadline(20000);
    while ((cycles < 4 || backups < 1 || returns < 2 || refreshes < 1) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(cycles, 4);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(backups, 1);
    EXPECT_EQ(refreshes, 1); // then 1000000 ms
    EXPECT_EQ(errors, QStringList{QStringLiteral("tweede cyclus mislukt")});
}

// On a real event loop: the retrieval that Controle asks for during a long return-message cycle (which lets the
// loop run) is the first thing that runs after that cycle, and nothing runs inside anything else.
TEST_F(TimerFixture, RetrievalDueDuringAReturnCycleFollowsItDirectly)
{
    TimerIntervals fast;
    fast.mainTimer = 2;
    fast.minute = 20;
    fast.basisFirst = 1000000;
    fast.retour = 5;
    fast.starter = 1000000;
    ActionRunner runner([](const QString &) {});
    QStringList order;
    int depth = 0;
    int deepest = 0;
    bool askedDuringReturn = false;
    int returnsFollowedByRetrieval = 0;
    TimerActions a = actions();
    a.wrap = [&](const std::function<void()> &tick) { runner.run(tick); };
    a.retrievalCycle = [&] {
        askedDuringReturn = askedDuringReturn || runner.exclusiveRunning();
        runner.runExclusiveOrDefer(QStringLiteral("Controle"), [&] {
            deepest = std::max(deepest, ++depth);
            if (order.endsWith(QStringLiteral("einde retour")))
                ++returnsFollowedByRetrieval;
            order << QStringLiteral("cyclus");
            --depth;
        });
    };
    a.returnCycle = [&] {
        runner.runExclusive([&] {
            deepest = std::max(deepest, ++depth);
            askedDuringReturn = false;
            order << QStringLiteral("retour");
            const QDeadlineTimer busy(100); // several Controle intervals, letting the loop run
            while (!busy.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            order << QStringLiteral("einde retour");
            EXPECT_TRUE(askedDuringReturn);
            --depth;
        });
    };
    controls.setChecked(Control::xAuto, true);
    ShellTimers timers(controls, a, fast);
    timers.start();
    const QDeadlineTimer deadline(20000);
    while (order.count(QStringLiteral("einde retour")) < 3 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_GE(order.count(QStringLiteral("einde retour")), 3) << order.join(QLatin1Char(' ')).toStdString();
    // Every return cycle but the last (whose follower may not have run yet) is followed by the retrieval.
    EXPECT_GE(returnsFollowedByRetrieval, 2) << order.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(deepest, 1);
}
