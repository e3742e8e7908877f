#pragma once

#include "db/SqlDialect.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>

class DispatchDb;

// Every statement the program sends to the dispatch database, one row per operation, with the parameters a run
// binds; each dialect gives its own text for the row (its column). A row a dialect does not send is empty there:
// the driver does it (transactions over ODBC), or the dialect goes another way (a ride found again by its
// temporary key).
//
// The sample values fit the rows that seedStatementTable() writes into a fresh database (ride 1 with vehicle 1,
// pending event 1 of owner "ABC"), so that a real database answers each row with the rows the operation expects.
struct StatementRow {
    QString operation;
    std::function<QString(const SqlDialect &)> text;
    QVariantList params;
    int expectedRows = -1;           // rows a query yields on the seeded database; -1 for a statement without rows
    bool transactionControl = false; // begun, committed or rolled back by DispatchDb::Transaction, not by exec()
};

QList<StatementRow> statementTable();

// The rows the table's sample values refer to, written into a fresh dispatch database.
void seedStatementTable(DispatchDb &db);

// Runs every row of the table on the open database of `db` in one transaction, which is committed, and then begins
// and rolls back a second one. Each failure is a test failure naming the row.
void runStatementTable(DispatchDb &db);

// A statement as SQL Server receives it from the driver for a procedure-less call: "?" numbered "@p1", "@p2", ...
QString numberedParameters(const QString &statement);

// The sample values of a row as a comment line.
QString parameterComment(const QVariantList &params);
