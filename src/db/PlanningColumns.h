#pragma once

#include <QList>
#include <QString>

// The columns of table Planning that the client writes or reads, as the schema scripts in db/ declare them.
// The import cuts texts to the declared width before it writes them.
enum class ColumnType {
    Identity,    // integer key assigned by the database (pla_id)
    Integer,     // 32-bit integer
    Decimal,     // decimal(18,2); REAL in SQLite
    Coordinate,  // decimal(18,6); REAL in SQLite
    DateTime,    // datetime; "YYYY-MM-DD HH:MM:SS" text in SQLite
    Text,        // single-byte text of at most `width` characters
    UnicodeText, // Unicode text without a width (pla_tekst)
};

struct PlanningColumn {
    const char *name; // spelled as declared; compare case-insensitively (PostgreSQL folds names to lower case)
    ColumnType type;
    int width; // characters of a Text column; 0 for every other type
};

// Every column, in the order of the schema scripts.
const QList<PlanningColumn> &planningColumns();

// The column of that name (letter case ignored), or nullptr when the table has no such column.
const PlanningColumn *planningColumn(const QString &name);

// Declared width of a Text column; 0 for other types and unknown names.
int planningTextWidth(const QString &name);

// The value cut to the declared width of a Text column; other columns' values unchanged.
QString fitPlanningText(const QString &name, const QString &value);
