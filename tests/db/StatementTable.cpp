#include "db/StatementTable.h"

#include "base/VoranoError.h"
#include "base/WallDateTime.h"
#include "db/DispatchDb.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace
{

const QDateTime kAt = WallDateTime(QDate(2026, 12, 11), QTime(3, 4, 5));

const QStringList kNewRideColumns = {QStringLiteral("pla_temp"),      QStringLiteral("pla_eigenaar"),
                                     QStringLiteral("pla_extern"),    QStringLiteral("pla_extern_ritnummer"),
                                     QStringLiteral("pla_wagen"),     QStringLiteral("pla_datum"),
                                     QStringLiteral("pla_opmerking"), QLatin1String(kCancelledColumn)};

QVariantList newRide(const QString &key)
{
    return {key, QStringLiteral("ABC"), 12, 12, 1, kAt, QStringLiteral(""), 0};
}

const QStringList kChangeColumns = {QStringLiteral("pla_tekst"), QStringLiteral("pla_datum"),
                                    QStringLiteral("pla_opmerking")};
const QStringList kCancelColumns = {QStringLiteral("pla_cloud"), QStringLiteral("pla_opmerking"),
                                    QStringLiteral("pla_filter"), QLatin1String(kCancelledColumn)};

} // namespace

QList<StatementRow> statementTable()
{
    using D = const SqlDialect &;
    const QString owner = QStringLiteral("ABC");
    return {
        {QStringLiteral("column probe"),
         [](D d) { return d.columnProbe(QStringLiteral("Planning"), QLatin1String(kCancelledColumn)); },
         {},
         0},
        {QStringLiteral("begin transaction"), [](D d) { return d.beginTransaction(); }, {}, -1, true},
        {QStringLiteral("company constant"), [](D d) { return d.companyConstant(); }, {12}, 1},
        {QStringLiteral("owner list"), [](D d) { return d.ownerList(); }, {}, 1},
        {QStringLiteral("live ride"),
         [](D d) { return d.findLiveRide(true); },
         {11, owner, QStringLiteral("(VERWIJDERD %")},
         1},
        {QStringLiteral("live ride by remark"),
         [](D d) { return d.findLiveRide(false); },
         {11, owner, QStringLiteral("(VERWIJDERD %")},
         1},
        {QStringLiteral("temporary key in use"), [](D d) { return d.temporaryKeyCount(); }, {QStringLiteral("T2")}, 1},
        {QStringLiteral("new ride with its id"), [](D d) { return d.insertRideReturningId(kNewRideColumns); },
         newRide(QStringLiteral("T2")), 1},
        {QStringLiteral("new ride"), [](D d) { return d.insertRide(kNewRideColumns); }, newRide(QStringLiteral("T3"))},
        {QStringLiteral("ride by temporary key"),
         [](D d) { return d.rideByTemporaryKey(); },
         {QStringLiteral("T3")},
         1},
        {QStringLiteral("internal action"), [](D d) { return d.internalAction(); }, {1, 5}},
        {QStringLiteral("savepoint"), [](D d) { return d.savepoint(); }, {}},
        {QStringLiteral("transaction row"),
         [](D d) { return d.transactionRow().arg(7).arg(0).arg(1).arg(0).arg(0).arg(91); },
         {QStringLiteral("11")}},
        {QStringLiteral("undo to savepoint"), [](D d) { return d.rollbackToSavepoint(); }, {}},
        {QStringLiteral("transaction goes on"), [](D d) { return d.transactionCheck(); }, {}, 1},
        {QStringLiteral("ride text"), [](D d) { return d.rideText(); }, {1}, 1},
        {QStringLiteral("take ride"), [](D d) { return d.takeRide(); }, {1}, 1},
        {QStringLiteral("change"),
         [](D d) { return d.updateRide(kChangeColumns); },
         {QStringLiteral("Naam: Ærø"), kAt, QStringLiteral(""), 1}},
        {QStringLiteral("cancellation"),
         [](D d) { return d.updateRide(kCancelColumns); },
         {2, QStringLiteral("(VERWIJDERD 11-12-2026 03:04)"), QStringLiteral("A"), 1, 1}},
        {QStringLiteral("outbox batch"), [](D d) { return d.outboxBatch(500); }, {owner}, 1},
        {QStringLiteral("stranded events"), [](D d) { return d.strandedEvents(); }, {owner}, 0},
        {QStringLiteral("take event row"), [](D d) { return d.takeEventRow(); }, {1}, 1},
        {QStringLiteral("event accepted"), [](D d) { return d.markEvent(true) + QLatin1Char('1'); }, {}},
        {QStringLiteral("event refused"), [](D d) { return d.markEvent(false) + QLatin1Char('1'); }, {}},
        {QStringLiteral("pending events"), [](D d) { return d.pendingEventCount(); }, {owner}, 1},
        {QStringLiteral("claim event"), [](D d) { return d.claimEvent(); }, {1, 2000000000, QStringLiteral("run")}},
        {QStringLiteral("event claimed"),
         [](D d) { return d.eventClaimed(); },
         {1, 1900000000, QStringLiteral("run")},
         1},
        {QStringLiteral("release event claim"), [](D d) { return d.releaseEventClaim(); }, {1}},
        {QStringLiteral("commit"), [](D d) { return d.commitTransaction(); }, {}, -1, true},
        {QStringLiteral("rollback"), [](D d) { return d.rollbackTransaction(); }, {}, -1, true},
        {QStringLiteral("connection probe"), [](D d) { return d.connectionProbe(); }, {}, 1},
        {QStringLiteral("name the session"),
         [](D d) { return d.nameSession(); },
         {QStringLiteral("server1:/var/lib/vorano-ostrel")},
         1},
        {QStringLiteral("claim the database"), [](D d) { return d.takeClaim(7); }, {}, 1},
        {QStringLiteral("holder of the claim"), [](D d) { return d.claimHolder(7); }, {}, 1},
    };
}

void seedStatementTable(DispatchDb &db)
{
    db.exec(QStringLiteral("INSERT INTO wagens (wag_id, wag_kenteken, wag_taxis) VALUES (1, 'AB-12-CD', 7)")).finish();
    db.exec(QStringLiteral("INSERT INTO Planning (pla_temp, pla_eigenaar, pla_extern, pla_extern_ritnummer, pla_wagen, "
                           "pla_tekst) VALUES ('T1', 'ABC', 11, 11, 1, 'tekst')"))
        .finish();
    db.exec(QStringLiteral("INSERT INTO koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, kop_datumtijd) "
                           "VALUES (1, 1, 0, 'ABC', ?)"),
            {kAt})
        .finish();
    db.exec(QStringLiteral("INSERT INTO constanten (con_bdr_id, con_aanvraag_verzenden) VALUES (12, 5)")).finish();
    db.exec(QStringLiteral("INSERT INTO ExterneBronnen (ebr_code, ebr_omschrijving) VALUES ('ABC', 'Ostrel')"))
        .finish();
}

void runStatementTable(DispatchDb &db)
{
    const SqlDialect &dialect = db.dialect();
    {
        DispatchDb::Transaction transaction(db);
        ASSERT_TRUE(transaction.begun());
        ASSERT_TRUE(db.inTransaction());
        for (const StatementRow &row : statementTable()) {
            const QString sql = row.text(dialect);
            if (row.transactionControl || sql.isEmpty())
                continue;
            try {
                QSqlQuery q = db.exec(sql, row.params);
                if (row.expectedRows >= 0) {
                    int rows = 0;
                    while (q.next())
                        ++rows;
                    EXPECT_EQ(rows, row.expectedRows) << row.operation.toStdString() << ": " << sql.toStdString();
                }
                q.finish();
            } catch (const VoranoError &e) {
                ADD_FAILURE() << row.operation.toStdString() << ": " << e.message().toStdString() << "\n"
                              << sql.toStdString();
            }
        }
        transaction.commit();
        EXPECT_FALSE(db.inTransaction());
    }
    {
        DispatchDb::Transaction rolledBack(db);
        EXPECT_TRUE(db.inTransaction());
    }
    EXPECT_FALSE(db.inTransaction());
}

QString numberedParameters(const QString &statement)
{
    QString out;
    int n = 0;
    for (const QChar c : statement) {
        if (c == QLatin1Char('?'))
            out += QStringLiteral("@p%1").arg(++n);
        else
            out += c;
    }
    return out;
}

QString parameterComment(const QVariantList &params)
{
    QStringList parts;
    for (qsizetype i = 0; i < params.size(); ++i) {
        const QVariant &v = params.at(i);
        QString value;
        if (v.metaType().id() == QMetaType::QDateTime)
            value = QLatin1Char('\'') + FormatWallDateTime(v.toDateTime()) + QLatin1Char('\'');
        else if (v.metaType().id() == QMetaType::QString)
            value = QLatin1Char('\'') + v.toString() + QLatin1Char('\'');
        else
            value = v.toString();
        parts << QStringLiteral("@p%1 = %2").arg(i + 1).arg(value);
    }
    return parts.join(QLatin1String(", "));
}
