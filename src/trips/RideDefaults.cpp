#include "trips/RideDefaults.h"

#include "base/FormatDateTime.h"
#include "base/WallDateTime.h"
#include "trips/RideRow.h"
#include "trips/TripValues.h"

#include <QCoreApplication>

#include <chrono>

namespace
{

enum Writer { Both, Ins, Wijz };

struct IntDefault {
    const char *column;
    int value;
    Writer writer;
};

// In the order the dispatch product writes them.
const IntDefault kIntDefaultsBeforeFilter[] = {
    {"pla_spoed", 0, Both},         {"pla_cloud", 1, Ins},   {"pla_bloktijd", 1, Ins}, {"pla_isretour", 0, Both},
    {"pla_txtext_actief", 0, Both}, {"pla_proces", 0, Both}, {"pla_bellen", 0, Both},  {"pla_voorin", 0, Both},
};

const IntDefault kIntDefaultsAfterKinds[] = {
    {"pla_minuten", 0, Both},
    {"pla_centralist_trigger_teller", 0, Ins},
    {"pla_centralist_trigger", 0, Ins},
    {"pla_zones_extern", 0, Ins},
    {"pla_hulpstukken", 0, Both},
    {"pla_km_sqr", 0, Both},
    {"pla_mut", 1, Both},
    {"pla_km_map", 0, Both},
    {"pla_van", 0, Both},
    {"pla_naar", 0, Both},
    {"pla_route", 0, Both},
    {"pla_chauffeur", 0, Both},
    {"pla_wagen", 0, Both},
    {"pla_lopers", 1, Both},
    {"pla_rollers", 0, Both},
    {"pla_combineren", 0, Both},
    {"pla_zone_naar", 0, Both},
    {"pla_zone_van", 0, Both},
    {"pla_ntr", 0, Both},
    {"pla_vektis", 0, Both},
    {"pla_vektis_subnummer", 0, Both},
    {"pla_uzovi", 0, Both},
    {"pla_begeleiding", 0, Both},
};

const IntDefault kIntDefaultsAfterTimes[] = {
    {"pla_is_materiaal", 0, Both},   {"pla_is_koprit", 0, Both},       {"pla_norm_segmenttijd", 0, Both},
    {"pla_norm_segmentkm", 0, Both}, {"pla_norm_aanrijtijd", 0, Both}, {"pla_norm_aanrijkm", 0, Both},
};

const IntDefault kIntDefaultsTail[] = {
    {"pla_auto_wagen", 0, Wijz},
    {"pla_wachtseconden", 0, Wijz},
    {"pla_retour_rbs", 0, Wijz},
    {"pla_nooitplannen", 0, Wijz},
};

const IntDefault kInsDefaultsLast[] = {
    {"pla_ETA_latitude", 0, Ins},  {"pla_ETA_longitude", 0, Ins},  {"pla_ETD_latitude", 0, Ins},
    {"pla_ETD_longitude", 0, Ins}, {"pla_minuten_extra", 15, Ins}, {"pla_minuten_afwijking", 15, Ins},
};

const IntDefault kInsFlagsLast[] = {
    {"pla_InTouch_status", 0, Ins},
    {"pla_doof", 0, Ins},
    {"pla_blind", 0, Ins},
    {"pla_InUitAssistentie", 0, Ins},
    {"pla_soho", 0, Ins},
    {"pla_scootmobiel", 0, Ins},
    {"pla_rollator", 0, Ins},
    {"pla_opvouwbare_rolstoel", 0, Ins},
    {"pla_electrische_rolstoel", 0, Ins},
};

bool writes(Writer writer, RideQuery query)
{
    return writer == Both || (writer == Ins) == (query == RideQuery::ADOINS);
}

template <size_t N> void putInts(RideRow &row, RideQuery query, const IntDefault (&defaults)[N])
{
    for (const IntDefault &d : defaults) {
        if (writes(d.writer, query))
            row.setInt(QLatin1String(d.column), d.value);
    }
}

// The date-time value zero of the dispatch product.
QDateTime zeroDateTime()
{
    return WallDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

struct Keyword {
    const char *word;
    const char *column; // nullptr: pla_filter gets the setting Aankomst
    int value;
};

const Keyword kKeywords[] = {
    {"soho", "pla_soho", 1},          {"begeleiding", "pla_begeleiding", 1}, {"niet combineren", "pla_combineren", 0},
    {"slechthorend", "pla_doof", 1},  {"voorin", "pla_voorin", 1},           {"blind", "pla_blind", 1},
    {"aankomstgarantie", nullptr, 0}, {"rollator", "pla_rollator", 1},       {"blindengeleide", "pla_soho", 1},
};

qint64 microsecondsNow()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

TemporaryKeys::TemporaryKeys()
    : TemporaryKeys(seedFrom(microsecondsNow(), QCoreApplication::applicationPid()))
{
}

TemporaryKeys::TemporaryKeys(std::uint32_t seed)
    : m_random(seed)
{
}

std::uint32_t TemporaryKeys::seedFrom(qint64 microseconds, qint64 processId)
{
    std::seed_seq sequence{std::uint32_t(microseconds), std::uint32_t(quint64(microseconds) >> 32),
                           std::uint32_t(processId), std::uint32_t(quint64(processId) >> 32)};
    std::uint32_t seed = 0;
    sequence.generate(&seed, &seed + 1);
    return seed;
}

QString TemporaryKeys::next(const QDateTime &now)
{
    const QString stamp = FormatDateTime(QLatin1String(kTempKeyPattern), now);
    if (stamp != m_stamp) {
        m_stamp = stamp;
        m_used.clear();
    }
    int number = 0;
    if (m_used.size() < 1000) {
        do
            number = m_number(m_random);
        while (m_used.contains(number));
    } else {
        number = int(m_used.size());
    }
    m_used.insert(number);
    return QLatin1Char('P') + stamp + QString::number(number);
}

void FillAppendDefaults(RideRow &row, RideQuery query, const Controls &controls, const QDateTime &now,
                        const QString &temporaryKey)
{
    row.setText(QStringLiteral("pla_status"), QStringLiteral("W"));
    putInts(row, query, kIntDefaultsBeforeFilter);
    row.setText(QStringLiteral("pla_filter"), controls.text(Control::StandaardFilter));
    row.setText(QStringLiteral("pla_soortvervoer"), QStringLiteral("P"));
    row.setText(QStringLiteral("pla_soortrit"), QStringLiteral("S"));
    row.setText(QStringLiteral("pla_soortwagen"), QStringLiteral("T"));
    putInts(row, query, kIntDefaultsAfterKinds);
    row.setText(QStringLiteral("pla_temp"), temporaryKey);
    row.setDateTime(QStringLiteral("pla_txtext_vanaf"), now);
    row.setDateTime(QStringLiteral("pla_tvtext_verwacht"), now);
    putInts(row, query, kIntDefaultsAfterTimes);
    row.setText(QStringLiteral("pla_redenloosmelden"), QString());
    row.setText(QStringLiteral("pla_kleur"), QString());
    putInts(row, query, kIntDefaultsTail);
    if (query == RideQuery::ADOINS) {
        row.setDateTime(QStringLiteral("pla_ETA"), zeroDateTime());
        row.setDateTime(QStringLiteral("pla_ETD"), zeroDateTime());
        putInts(row, query, kInsDefaultsLast);
        row.setText(QStringLiteral("pla_taal"), QStringLiteral("N"));
        putInts(row, query, kInsFlagsLast);
    }
}

void ApplyBeforeStore(RideRow &row, RideQuery query, const Controls &controls, const QString &remark)
{
    row.setInt(QStringLiteral("pla_bloktijd"), 1);
    if (query == RideQuery::ADOINS) {
        for (const char *city : {"pla_ophstad", "pla_beststad"}) {
            const QString column = QLatin1String(city);
            if (row.contains(column))
                row.setText(column, row.text(column).remove(QLatin1Char('\'')));
        }
    }
    const QString lower = LowerAsciiLetters(remark);
    for (const Keyword &k : kKeywords) {
        if (!lower.contains(QLatin1String(k.word)))
            continue;
        if (k.column)
            row.setInt(QLatin1String(k.column), k.value);
        else
            row.setText(QStringLiteral("pla_filter"), controls.text(Control::Aankomst));
    }
}
