#pragma once

#include "db/PlanningColumns.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// The declaration of a column of Planning (letter case ignored); nullptr for a name the table does not have.
const PlanningColumn *findRideColumn(const QString &name);

// One row of Planning as the program builds it: column name to value, in the order the columns were first
// written. A text is made to fit its column when it is set: characters the single-byte code page cannot hold
// become "?", and a text longer than the column is cut to the column width (pla_tekst keeps everything).
// Integers are held as int, decimals as double, date-times as QDateTime.
class RideRow
{
  public:
    RideRow();

    void setText(const QString &column, const QString &value);
    void setInt(const QString &column, qint64 value);
    void setDecimal(const QString &column, double value);
    void setDateTime(const QString &column, const QDateTime &value);

    bool contains(const QString &column) const { return m_index.contains(column); }
    QVariant value(const QString &column) const;
    QString text(const QString &column) const { return value(column).toString(); }

    const QStringList &columns() const { return m_columns; }
    const QVariantList &values() const { return m_values; }

  private:
    void put(const QString &column, ColumnType given, const QVariant &value);

    QStringList m_columns;
    QVariantList m_values;
    QHash<QString, qsizetype> m_index;
};
