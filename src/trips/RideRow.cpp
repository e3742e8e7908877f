#include "trips/RideRow.h"

#include "trips/SingleByteText.h"

#include "db/PlanningColumns.h"

#include <QDateTime>

#include <stdexcept>

const PlanningColumn *findRideColumn(const QString &name)
{
    return planningColumn(name);
}

RideRow::RideRow()
{
    // A new ride has about a hundred columns; growing the index step by step costs more than the rest of the row.
    constexpr qsizetype kColumns = 128;
    m_columns.reserve(kColumns);
    m_values.reserve(kColumns);
    m_index.reserve(kColumns);
}

void RideRow::put(const QString &column, ColumnType given, const QVariant &value)
{
    const PlanningColumn *declared = findRideColumn(column);
    if (!declared)
        throw std::logic_error("RideRow: undeclared column " + column.toStdString());
    QVariant stored = value;
    switch (declared->type) {
    case ColumnType::Text:
        if (given != ColumnType::Text)
            throw std::logic_error("RideRow: text expected for " + column.toStdString());
        stored = ToSingleByteText(value.toString()).left(declared->width);
        break;
    case ColumnType::UnicodeText:
        if (given != ColumnType::Text)
            throw std::logic_error("RideRow: text expected for " + column.toStdString());
        break;
    case ColumnType::Decimal:
    case ColumnType::Coordinate:
        if (given != ColumnType::Decimal && given != ColumnType::Integer)
            throw std::logic_error("RideRow: number expected for " + column.toStdString());
        stored = value.toDouble();
        break;
    case ColumnType::Identity:
    case ColumnType::Integer:
    case ColumnType::DateTime:
        if (given != declared->type)
            throw std::logic_error("RideRow: wrong kind of value for " + column.toStdString());
        break;
    }
    auto it = m_index.constFind(column);
    if (it != m_index.constEnd()) {
        m_values[*it] = stored;
        return;
    }
    m_index.insert(column, m_columns.size());
    m_columns.append(column);
    m_values.append(stored);
}

void RideRow::setText(const QString &column, const QString &value)
{
    put(column, ColumnType::Text, value);
}

void RideRow::setInt(const QString &column, qint64 value)
{
    put(column, ColumnType::Integer, QVariant(int(value)));
}

void RideRow::setDecimal(const QString &column, double value)
{
    put(column, ColumnType::Decimal, value);
}

void RideRow::setDateTime(const QString &column, const QDateTime &value)
{
    put(column, ColumnType::DateTime, value);
}

QVariant RideRow::value(const QString &column) const
{
    auto it = m_index.constFind(column);
    return it == m_index.constEnd() ? QVariant() : m_values.at(*it);
}
