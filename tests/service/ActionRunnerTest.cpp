#include "service/ActionRunner.h"
#include "base/LogLevel.h"
#include "base/VoranoError.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ActionRunner, EveryKindOfErrorReachesTheHook)
{
    QStringList log;
    ActionRunner runner([&](const QString &m) { log << m; });
    EXPECT_TRUE(runner.run([] {}));
    EXPECT_FALSE(runner.run([] { throw DatabaseError(QStringLiteral("Login failed for user 'sa'.")); }));
    EXPECT_FALSE(runner.run([] { throw std::runtime_error("kapot"); }));
    EXPECT_FALSE(runner.run([] { throw 42; }));
    EXPECT_EQ(log, (QStringList{QStringLiteral("Login failed for user 'sa'."), QStringLiteral("kapot"),
                                QStringLiteral("Onbekende fout")}));
    // A hook that fails itself does not let the error escape either.
    ActionRunner broken([](const QString &) { throw std::runtime_error("log kapot"); });
    EXPECT_FALSE(broken.run([] { throw std::runtime_error("x"); }));
}

TEST(ActionRunner, ExclusiveActionsNeverRunInsideOneAnother)
{
    QStringList log;
    ActionRunner runner([&](const QString &m) { log << m; });
    QStringList order;
    ActionRunner::Outcome inner = ActionRunner::Outcome::Done;
    bool otherRanInside = false;
    const auto outer = runner.runExclusive([&] {
        order << QStringLiteral("cyclus begint");
        // Events handled between the items of the running operation.
        inner = runner.runExclusive([&] { order << QStringLiteral("geneste cyclus"); });
        otherRanInside = runner.run([&] { order << QStringLiteral("referentielijst"); });
        order << QStringLiteral("cyclus eindigt");
    });
    EXPECT_EQ(outer, ActionRunner::Outcome::Done);
    EXPECT_EQ(inner, ActionRunner::Outcome::Dropped);
    EXPECT_TRUE(otherRanInside);
    EXPECT_EQ(order, (QStringList{QStringLiteral("cyclus begint"), QStringLiteral("referentielijst"),
                                  QStringLiteral("cyclus eindigt")}));

    // After a failed run the next one starts.
    EXPECT_EQ(runner.runExclusive([] { throw VoranoError(QStringLiteral("fout")); }), ActionRunner::Outcome::Failed);
    EXPECT_FALSE(runner.exclusiveRunning());
    EXPECT_EQ(runner.runExclusive([] {}), ActionRunner::Outcome::Done);
    EXPECT_EQ(log, QStringList{QStringLiteral("fout")});
}

TEST(ActionRunner, DeferredRequestsRunWhenTheRunningActionHasEnded)
{
    QStringList log;
    ActionRunner runner([&](const QString &m) { log << m; });
    QStringList order;
    QList<ActionRunner::Outcome> inner;
    const auto outer = runner.runExclusive([&] {
        order << QStringLiteral("retour begint");
        inner << runner.runExclusiveOrDefer(QStringLiteral("Controle"), [&] {
            order << QStringLiteral("cyclus");
            // A request made by a deferred run waits for that run in turn.
            inner << runner.runExclusiveOrDefer(QStringLiteral("Nog een"), [&] { order << QStringLiteral("nog een"); });
            throw VoranoError(QStringLiteral("cyclus mislukt"));
        });
        // The same request again while the first one waits: one run serves both.
        inner << runner.runExclusiveOrDefer(QStringLiteral("Controle"), [&] { order << QStringLiteral("tweede"); });
        inner << runner.runExclusive([&] { order << QStringLiteral("handmatig"); });
        EXPECT_EQ(runner.deferredNames(), QStringList{QStringLiteral("Controle")});
        order << QStringLiteral("retour eindigt");
    });
    EXPECT_EQ(outer, ActionRunner::Outcome::Done); // the outcome of the action itself
    EXPECT_EQ(inner, (QList<ActionRunner::Outcome>{ActionRunner::Outcome::Deferred, ActionRunner::Outcome::Deferred,
                                                   ActionRunner::Outcome::Dropped, ActionRunner::Outcome::Deferred}));
    EXPECT_EQ(order, (QStringList{QStringLiteral("retour begint"), QStringLiteral("retour eindigt"),
                                  QStringLiteral("cyclus"), QStringLiteral("nog een")}));
    EXPECT_EQ(log, QStringList{QStringLiteral("cyclus mislukt")});
    EXPECT_FALSE(runner.exclusiveRunning());
    EXPECT_TRUE(runner.deferredNames().isEmpty());

    // When nothing runs, the request runs at once; requests forgotten while one runs never come.
    EXPECT_EQ(runner.runExclusiveOrDefer(QStringLiteral("Controle"), [&] { order << QStringLiteral("direct"); }),
              ActionRunner::Outcome::Done);
    EXPECT_EQ(order.last(), QStringLiteral("direct"));
    runner.runExclusive([&] {
        runner.runExclusiveOrDefer(QStringLiteral("Controle"), [&] { order << QStringLiteral("vergeten"); });
        runner.dropDeferred();
    });
    EXPECT_EQ(order.last(), QStringLiteral("direct"));
}

TEST(LogLine, TimeThenTwoBlanksThenTheMessage)
{
    const QDateTime at(QDate(2015, 3, 31), QTime(7, 5, 9));
    EXPECT_EQ(LogLine(at, QStringLiteral("X")), QStringLiteral("31-03-2015 07:05  X"));
    EXPECT_EQ(LogLine(at.addSecs(50), QStringLiteral("Y")), QStringLiteral("31-03-2015 07:05  Y"));
    EXPECT_EQ(LogLine(QDateTime(QDate(2015, 12, 1), QTime(23, 59)), QStringLiteral("regel 1\r\nregel 2")),
              QStringLiteral("01-12-2015 23:59  regel 1\\r\\nregel 2"));
}

// journald cuts a line at 48 KiB and reads what follows as an entry of its own, with a priority of its own: a
// fault text of that length followed by a prefix must stay one entry at the priority of its level.
TEST(LogLine, ALongFaultCannotForgeASecondJournalEntry)
{
    const QString fault = QString(49131, QLatin1Char('x')) + QStringLiteral("<0>FORGED EMERG dienst gestopt");
    const QByteArray bytes = StandardErrorLines(
        LogLine(QDateTime(QDate(2026, 12, 11), QTime(3, 0)), fault).toUtf8() + '\n', LogLevel::Error, true);
    EXPECT_EQ(bytes.count('\n'), 1);
    EXPECT_TRUE(bytes.startsWith("<3>11-12-2026 03:00  xxx"));
    EXPECT_TRUE(bytes.endsWith(QString::fromUtf8("x… [ingekort]\n").toUtf8()));
    EXPECT_FALSE(bytes.contains("<0>"));
    EXPECT_LT(bytes.size(), 48 * 1024);
}
