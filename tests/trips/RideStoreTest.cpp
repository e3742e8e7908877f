#include "ImportHarness.h"

#include "base/VoranoError.h"
#include "trips/RideRow.h"
#include "trips/RideStore.h"

#include <gtest/gtest.h>

namespace
{

RideRow rowWithKey(const QString &key)
{
    RideRow row;
    row.setText(QStringLiteral("pla_temp"), key);
    row.setText(QStringLiteral("pla_status"), QStringLiteral("W"));
    row.setText(QStringLiteral("pla_kleur"), QString());
    row.setDateTime(QStringLiteral("pla_datum"), QDateTime(QDate(2013, 5, 14), QTime(15, 30)));
    return row;
}

TEST(RideStore, TheNumberIsThatOfTheRowJustStoredEitherWay)
{
    ImportHarness h;
    for (bool findByKey : {false, true}) {
        RideRow taken = rowWithKey(QStringLiteral("PKEY%1").arg(findByKey));
        const int first = InsertRide(
            h.db, taken, [] { return QStringLiteral("unused"); }, findByKey);
        // A second ride offered the same key: the lookup by key draws another one first.
        RideRow again = rowWithKey(findByKey ? QStringLiteral("PKEY1") : QStringLiteral("POTHER"));
        int drawn = 0;
        const int id = InsertRide(
            h.db, again, [&] { return QStringLiteral("PNEW%1").arg(++drawn); }, findByKey);
        EXPECT_NE(id, first);
        EXPECT_EQ(h.ride(id).value(QStringLiteral("pla_temp")).toString(),
                  findByKey ? QStringLiteral("PNEW1") : QStringLiteral("POTHER"));
        EXPECT_EQ(h.ride(first).value(QStringLiteral("pla_kleur")).toString(), QString());
        EXPECT_FALSE(h.ride(first).value(QStringLiteral("pla_kleur")).isNull()); // empty text, not NULL
    }
}

// Another program stores a ride with the same key between the check and the insert: the unique index refuses the
// insert (simulated here by a trigger raising the database's own refusal), and the next key is tried. Any other
// refusal reaches the caller without a further key being drawn.
TEST(RideStore, AKeyRefusedAsNotUniqueIsFollowedByTheNextKey)
{
    const struct {
        const char *what;
        const char *raised;
        bool stored;
    } cases[] = {
        {"unique refusal", "UNIQUE constraint failed: Planning.pla_temp", true},
        {"another refusal", "CHECK constraint failed: pla_status", false},
    };
    for (const auto &c : cases) {
        ImportHarness h;
        h.db.exec(QStringLiteral("CREATE TRIGGER refuse_key BEFORE INSERT ON Planning WHEN NEW.pla_temp='PRACE' "
                                 "BEGIN SELECT RAISE(ABORT, '%1'); END")
                      .arg(QLatin1String(c.raised)));
        RideRow row = rowWithKey(QStringLiteral("PRACE"));
        int drawn = 0;
        const auto nextKey = [&] { return QStringLiteral("PNEXT%1").arg(++drawn); };
        if (c.stored) {
            const int id = InsertRide(h.db, row, nextKey, true);
            EXPECT_EQ(h.ride(id).value(QStringLiteral("pla_temp")).toString(), QStringLiteral("PNEXT1")) << c.what;
        } else {
            EXPECT_THROW(InsertRide(h.db, row, nextKey, true), DatabaseError) << c.what;
            EXPECT_EQ(drawn, 0) << c.what;
            EXPECT_TRUE(h.rideIds().isEmpty()) << c.what;
        }
    }
}

TEST(RideStore, UpdateWritesOnlyTheRowsColumnsAndATransactionRollsBack)
{
    ImportHarness h;
    RideRow row = rowWithKey(QStringLiteral("P1"));
    const int id = InsertRide(h.db, row, {});
    RideRow change;
    change.setInt(QStringLiteral("pla_cloud"), 2);
    UpdateRide(h.db, id, change);
    EXPECT_EQ(h.ride(id).value(QStringLiteral("pla_cloud")).toInt(), 2);
    EXPECT_EQ(h.ride(id).value(QStringLiteral("pla_status")).toString(), QStringLiteral("W"));

    EXPECT_THROW(
        {
            DispatchDb::Transaction transaction(h.db);
            RideRow r = rowWithKey(QStringLiteral("P2"));
            InsertRide(h.db, r, {});
            throw std::runtime_error("failed after the insert");
        },
        std::runtime_error);
    EXPECT_FALSE(h.db.inTransaction());
    EXPECT_EQ(h.rideIds(), QList<int>{id});
}

} // namespace
