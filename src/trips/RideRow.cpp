#include "trips/RideRow.h"

#include "trips/SingleByteText.h"

#include <QDateTime>

#include <stdexcept>

namespace {

constexpr auto T = RideColumnType::Text;
constexpr auto U = RideColumnType::UnicodeText;
constexpr auto I = RideColumnType::Integer;
constexpr auto D = RideColumnType::Decimal;
constexpr auto DT = RideColumnType::DateTime;

// Every column of Planning the import writes, with the width the program declares for its text columns.
const RideColumn kRideColumns[] = {
    {"pla_eigenaar", T, 3},
    {"pla_zone_aantal", I, 0},
    {"pla_zones_extern", I, 0},
    {"pla_oph_syn", T, 50},
    {"pla_bes_syn", T, 50},
    {"pla_bdr_id", I, 0},
    {"pla_tarief_bedrijf", I, 0},
    {"pla_spoed", I, 0},
    {"pla_rc", I, 0},
    {"pla_lopers", I, 0},
    {"pla_bedrag", D, 0},
    {"pla_bedrag_3", D, 0},
    {"pla_bedrag_5", D, 0},
    {"pla_km_sqr", D, 0},
    {"pla_km_map", D, 0},
    {"pla_rollers", I, 0},
    {"pla_rolstoel", I, 0},
    {"pla_soortwagen", T, 1},
    {"pla_reiziger", I, 0},
    {"pla_bestnummer", T, 10},
    {"pla_bestnummertoe", T, 6},
    {"pla_bestpostcode", T, 10},
    {"pla_beststad", T, 50},
    {"pla_besstraat", T, 50},
    {"pla_datum", DT, 0},
    {"pla_tijdstip", DT, 0},
    {"pla_tijdstip_locatie", DT, 0},
    {"pla_ophnummer", T, 10},
    {"pla_ophnummertoe", T, 6},
    {"pla_ophpostcode", T, 10},
    {"pla_ophstad", T, 50},
    {"pla_ophstraat", T, 50},
    {"pla_extern", I, 0},
    {"pla_extern_ritnummer", I, 0},
    {"pla_referentie", T, 40},
    {"pla_extern_kostenplaats", T, 20},
    {"pla_soortrit", T, 1},
    {"pla_soortvervoer", T, 1},
    {"pla_status", T, 1},
    {"pla_naam_reiziger", T, 50},
    {"pla_telefoon", T, 40},
    {"pla_extern_locatie", T, 20},
    {"pla_tekst", U, 0},
    // Written by the defaults, the row rules and the change path.
    {"pla_cloud", I, 0},
    {"pla_bloktijd", I, 0},
    {"pla_isretour", I, 0},
    {"pla_txtext_actief", I, 0},
    {"pla_proces", I, 0},
    {"pla_bellen", I, 0},
    {"pla_voorin", I, 0},
    {"pla_filter", T, 1},
    {"pla_minuten", I, 0},
    {"pla_centralist_trigger_teller", I, 0},
    {"pla_centralist_trigger", I, 0},
    {"pla_hulpstukken", I, 0},
    {"pla_mut", I, 0},
    {"pla_van", I, 0},
    {"pla_naar", I, 0},
    {"pla_route", I, 0},
    {"pla_chauffeur", I, 0},
    {"pla_wagen", I, 0},
    {"pla_combineren", I, 0},
    {"pla_zone_naar", I, 0},
    {"pla_zone_van", I, 0},
    {"pla_ntr", I, 0},
    {"pla_vektis", I, 0},
    {"pla_vektis_subnummer", I, 0},
    {"pla_uzovi", I, 0},
    {"pla_begeleiding", I, 0},
    {"pla_temp", T, 40},
    {"pla_txtext_vanaf", DT, 0},
    {"pla_tvtext_verwacht", DT, 0},
    {"pla_is_materiaal", I, 0},
    {"pla_is_koprit", I, 0},
    {"pla_norm_segmenttijd", I, 0},
    {"pla_norm_segmentkm", I, 0},
    {"pla_norm_aanrijtijd", I, 0},
    {"pla_norm_aanrijkm", I, 0},
    {"pla_redenloosmelden", T, 50},
    {"pla_kleur", T, 20},
    {"pla_auto_wagen", I, 0},
    {"pla_wachtseconden", I, 0},
    {"pla_retour_rbs", I, 0},
    {"pla_nooitplannen", I, 0},
    {"pla_ETA", DT, 0},
    {"pla_ETD", DT, 0},
    {"pla_ETA_latitude", D, 0},
    {"pla_ETA_longitude", D, 0},
    {"pla_ETD_latitude", D, 0},
    {"pla_ETD_longitude", D, 0},
    {"pla_minuten_extra", I, 0},
    {"pla_minuten_afwijking", I, 0},
    {"pla_taal", T, 1},
    {"pla_InTouch_status", I, 0},
    {"pla_doof", I, 0},
    {"pla_blind", I, 0},
    {"pla_InUitAssistentie", I, 0},
    {"pla_soho", I, 0},
    {"pla_scootmobiel", I, 0},
    {"pla_rollator", I, 0},
    {"pla_opvouwbare_rolstoel", I, 0},
    {"pla_electrische_rolstoel", I, 0},
    {"pla_opmerking", T, 50},
};

} // namespace

const RideColumn *findRideColumn(const QString &name)
{
    for (const RideColumn &c : kRideColumns) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

void RideRow::put(const QString &column, RideColumnType given, const QVariant &value)
{
    const RideColumn *declared = findRideColumn(column);
    if (!declared)
        throw std::logic_error("RideRow: undeclared column " + column.toStdString());
    QVariant stored = value;
    switch (declared->type) {
    case RideColumnType::Text:
        if (given != RideColumnType::Text)
            throw std::logic_error("RideRow: text expected for " + column.toStdString());
        stored = ToSingleByteText(value.toString()).left(declared->width);
        break;
    case RideColumnType::UnicodeText:
        if (given != RideColumnType::Text)
            throw std::logic_error("RideRow: text expected for " + column.toStdString());
        break;
    case RideColumnType::Decimal:
        if (given != RideColumnType::Decimal && given != RideColumnType::Integer)
            throw std::logic_error("RideRow: number expected for " + column.toStdString());
        stored = value.toDouble();
        break;
    case RideColumnType::Integer:
    case RideColumnType::DateTime:
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
    put(column, RideColumnType::Text, value);
}

void RideRow::setInt(const QString &column, qint64 value)
{
    put(column, RideColumnType::Integer, QVariant(int(value)));
}

void RideRow::setDecimal(const QString &column, double value)
{
    put(column, RideColumnType::Decimal, value);
}

void RideRow::setDateTime(const QString &column, const QDateTime &value)
{
    put(column, RideColumnType::DateTime, value);
}

QVariant RideRow::value(const QString &column) const
{
    auto it = m_index.constFind(column);
    return it == m_index.constEnd() ? QVariant() : m_values.at(*it);
}
