#pragma once

#include "settings/Controls.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <random>

class RideRow;

// The two ways a ride reaches Planning: ADOINS appends new rides, QWijzigen stores changes and cancellations and
// adds a changed trip that has no ride. Their defaults and row rules differ.
enum class RideQuery { ADOINS, QWijzigen };

// The temporary key written to pla_temp: "P", the time as "yyyymmddhhnnssms", and a number from 0 to 999. The
// numbers come from a generator with a fixed seed, so the sequence is the same after every start. Rides made in
// the same second would otherwise share a key now and then, so a number already handed out in that second is
// drawn again; after a thousand keys in one second the numbers go on from 1000.
class TemporaryKeys
{
  public:
    QString next(const QDateTime &now);

  private:
    std::mt19937 m_random; // default seed on purpose
    std::uniform_int_distribution<int> m_number{0, 999};
    QString m_stamp;
    QSet<int> m_used;
};

// Fills a newly appended row with the dispatch product's defaults for the query.
void FillAppendDefaults(RideRow &row, RideQuery query, const Controls &controls, const QDateTime &now,
                        const QString &temporaryKey);

// Runs just before a row is stored through the query. `remark` is the pla_tekst the row will hold; the keyword
// rules look for their words in it and only ever set columns.
void ApplyBeforeStore(RideRow &row, RideQuery query, const Controls &controls, const QString &remark);
