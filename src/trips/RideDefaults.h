#pragma once

#include "settings/Controls.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <cstdint>
#include <random>

class RideRow;

// The two ways a ride reaches Planning: ADOINS appends new rides, QWijzigen stores changes and cancellations and
// adds a changed trip that has no ride. Their defaults and row rules differ.
enum class RideQuery { ADOINS, QWijzigen };

// The temporary key written to pla_temp: "P", the time as "yyyymmddhhnnssms", and a number from 0 to 999. The
// numbers come from a generator seeded from the clock and the process, so a program started again within the
// same second (or in the autumn's repeated hour) does not draw the numbers of the run before. Rides made in
// the same second would otherwise share a key now and then, so a number already handed out in that second is
// drawn again; after a thousand keys in one second the numbers go on from 1000.
class TemporaryKeys
{
  public:
    // Seeded from the current time in microseconds and the process number.
    TemporaryKeys();
    // A fixed seed: the same sequence every time.
    explicit TemporaryKeys(std::uint32_t seed);

    // The seed of the default constructor from its two parts.
    static std::uint32_t seedFrom(qint64 microseconds, qint64 processId);

    QString next(const QDateTime &now);

  private:
    std::mt19937 m_random;
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
