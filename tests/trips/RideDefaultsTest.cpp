#include "trips/RideDefaults.h"
#include "base/WallDateTime.h"
#include "settings/MemoryControls.h"
#include "trips/RideRow.h"

#include <gtest/gtest.h>

namespace
{

const QDateTime kNow(QDate(2015, 3, 31), QTime(7, 5, 9));

TEST(TemporaryKeys, PrefixTimeAndNumberFromARepeatableSequence)
{
    TemporaryKeys a(TemporaryKeys::seedFrom(1, 2));
    TemporaryKeys b(TemporaryKeys::seedFrom(1, 2));
    for (int i = 0; i < 20; ++i) {
        const QString key = a.next(kNow);
        EXPECT_TRUE(key.startsWith(QStringLiteral("P2015033107050939"))) << key.toStdString();
        const int number = key.mid(17).toInt();
        EXPECT_GE(number, 0);
        EXPECT_LE(number, 999);
        EXPECT_LE(key.size(), 40);
        EXPECT_EQ(key, b.next(kNow));
    }
}

// A program started again in the same second, or a second program at the same moment, draws other numbers.
TEST(TemporaryKeys, TheSequenceDependsOnTheClockAndTheProcess)
{
    const qint64 start = 1'791'000'000'000'000; // microseconds since 1970
    const struct {
        const char *what;
        qint64 microseconds;
        qint64 process;
    } others[] = {
        {"a microsecond later", start + 1, 4711},
        {"an hour later (the repeated autumn hour)", start + 3'600'000'000, 4711},
        {"another process", start, 4712},
    };
    const auto sequence = [](std::uint32_t seed) {
        TemporaryKeys keys(seed);
        QStringList out;
        for (int i = 0; i < 5; ++i)
            out << keys.next(kNow);
        return out;
    };
    const QStringList first = sequence(TemporaryKeys::seedFrom(start, 4711));
    for (const auto &o : others)
        EXPECT_NE(sequence(TemporaryKeys::seedFrom(o.microseconds, o.process)), first) << o.what;
}

TEST(TemporaryKeys, NoKeyTwiceWithinOneSecond)
{
    TemporaryKeys keys;
    QSet<QString> seen;
    for (int i = 0; i < 1200; ++i)
        seen.insert(keys.next(kNow));
    EXPECT_EQ(seen.size(), 1200);
    EXPECT_TRUE(seen.contains(QStringLiteral("P20150331070509391199")));
    // A new second starts the numbers afresh.
    const QString next = keys.next(kNow.addSecs(1));
    EXPECT_TRUE(next.startsWith(QStringLiteral("P20150331070510310"))) << next.toStdString();
    EXPECT_LE(next.mid(18).toInt(), 999);
}

TEST(RideDefaults, TheTwoQueriesFillDifferentDefaults)
{
    MemoryControls controls;
    controls.setText(Control::StandaardFilter, QStringLiteral("Q"));
    RideRow ins;
    RideRow wijz;
    FillAppendDefaults(ins, RideQuery::ADOINS, controls, kNow, QStringLiteral("P1"));
    FillAppendDefaults(wijz, RideQuery::QWijzigen, controls, kNow, QStringLiteral("P2"));

    for (const RideRow *row : {&ins, &wijz}) {
        EXPECT_EQ(row->text(QStringLiteral("pla_status")), QStringLiteral("W"));
        EXPECT_EQ(row->text(QStringLiteral("pla_filter")), QStringLiteral("Q"));
        EXPECT_EQ(row->text(QStringLiteral("pla_soortwagen")), QStringLiteral("T"));
        EXPECT_EQ(row->value(QStringLiteral("pla_lopers")).toInt(), 1);
        EXPECT_EQ(row->value(QStringLiteral("pla_mut")).toInt(), 1);
        EXPECT_EQ(row->value(QStringLiteral("pla_txtext_vanaf")).toDateTime(), kNow);
        EXPECT_TRUE(row->contains(QStringLiteral("pla_kleur")));
    }
    EXPECT_EQ(ins.text(QStringLiteral("pla_temp")), QStringLiteral("P1"));
    EXPECT_EQ(wijz.text(QStringLiteral("pla_temp")), QStringLiteral("P2"));

    const char *insOnly[] = {"pla_cloud", "pla_bloktijd", "pla_minuten_extra", "pla_taal",
                             "pla_ETA",   "pla_soho",     "pla_zones_extern",  "pla_centralist_trigger"};
    for (const char *c : insOnly) {
        EXPECT_TRUE(ins.contains(QLatin1String(c))) << c;
        EXPECT_FALSE(wijz.contains(QLatin1String(c))) << c;
    }
    const char *wijzOnly[] = {"pla_auto_wagen", "pla_wachtseconden", "pla_retour_rbs", "pla_nooitplannen"};
    for (const char *c : wijzOnly) {
        EXPECT_TRUE(wijz.contains(QLatin1String(c))) << c;
        EXPECT_FALSE(ins.contains(QLatin1String(c))) << c;
    }
    EXPECT_EQ(ins.value(QStringLiteral("pla_cloud")).toInt(), 1);
    EXPECT_EQ(ins.value(QStringLiteral("pla_minuten_extra")).toInt(), 15);
    EXPECT_EQ(ins.text(QStringLiteral("pla_taal")), QStringLiteral("N"));
    EXPECT_EQ(ins.value(QStringLiteral("pla_ETA")).toDateTime(), WallDateTime(QDate(1899, 12, 30), QTime(0, 0)));
}

TEST(RideDefaults, KeywordRulesOnlySet)
{
    struct Case {
        const char *remark;
        std::vector<std::pair<const char *, int>> set;
        bool arrival;
    };
    const Case cases[] = {
        {"Blindengeleidehond mee", {{"pla_blind", 1}, {"pla_soho", 1}}, false},
        {"NIET COMBINEREN aub", {{"pla_combineren", 0}}, false},
        {"Aankomstgarantie 9:00", {}, true},
        {"voorin, slechthorend, rollator, begeleiding",
         {{"pla_voorin", 1}, {"pla_doof", 1}, {"pla_rollator", 1}, {"pla_begeleiding", 1}},
         false},
        {"niets bijzonders", {}, false},
    };
    MemoryControls controls;
    controls.setText(Control::StandaardFilter, QStringLiteral("P"));
    controls.setText(Control::Aankomst, QStringLiteral("G"));
    for (const Case &c : cases) {
        RideRow row;
        row.setInt(QStringLiteral("pla_combineren"), 1);
        row.setText(QStringLiteral("pla_filter"), QStringLiteral("P"));
        ApplyBeforeStore(row, RideQuery::QWijzigen, controls, QString::fromUtf8(c.remark));
        EXPECT_EQ(row.value(QStringLiteral("pla_bloktijd")).toInt(), 1);
        for (const auto &[column, value] : c.set)
            EXPECT_EQ(row.value(QLatin1String(column)).toInt(), value) << c.remark << " " << column;
        const bool combineCleared = row.value(QStringLiteral("pla_combineren")).toInt() == 0;
        EXPECT_EQ(combineCleared, QString::fromUtf8(c.remark).toLower().contains(QStringLiteral("niet combineren")));
        EXPECT_EQ(row.text(QStringLiteral("pla_filter")), c.arrival ? QStringLiteral("G") : QStringLiteral("P"));
        // Absent keywords leave their columns unwritten.
        EXPECT_EQ(row.contains(QStringLiteral("pla_voorin")),
                  QString::fromUtf8(c.remark).contains(QStringLiteral("voorin")));
    }
}

TEST(RideDefaults, ApostrophesLeaveTheCitiesOnlyThroughAdoins)
{
    MemoryControls controls;
    for (RideQuery query : {RideQuery::ADOINS, RideQuery::QWijzigen}) {
        RideRow row;
        row.setText(QStringLiteral("pla_ophstad"), QStringLiteral("'s-Hertogenbosch"));
        row.setText(QStringLiteral("pla_beststad"), QStringLiteral("'t Zand"));
        ApplyBeforeStore(row, query, controls, QString());
        const bool ins = query == RideQuery::ADOINS;
        EXPECT_EQ(row.text(QStringLiteral("pla_ophstad")),
                  ins ? QStringLiteral("s-Hertogenbosch") : QStringLiteral("'s-Hertogenbosch"));
        EXPECT_EQ(row.text(QStringLiteral("pla_beststad")), ins ? QStringLiteral("t Zand") : QStringLiteral("'t Zand"));
    }
}

} // namespace
