#include "db/PlanningColumns.h"

namespace
{

constexpr auto Id = ColumnType::Identity;
constexpr auto Int = ColumnType::Integer;
constexpr auto Dec = ColumnType::Decimal;
constexpr auto Coord = ColumnType::Coordinate;
constexpr auto Dt = ColumnType::DateTime;
constexpr auto Txt = ColumnType::Text;
constexpr auto UTxt = ColumnType::UnicodeText;

const QList<PlanningColumn> kColumns = {
    {"pla_id", Id, 0},
    // written by the new-trip mapping, in its order
    {"pla_eigenaar", Txt, 3},
    {"pla_zone_aantal", Int, 0},
    {"pla_zones_extern", Int, 0},
    {"pla_oph_syn", Txt, 50},
    {"pla_bes_syn", Txt, 50},
    {"pla_bdr_id", Int, 0},
    {"pla_tarief_bedrijf", Int, 0},
    {"pla_spoed", Int, 0},
    {"pla_rc", Int, 0},
    {"pla_lopers", Int, 0},
    {"pla_bedrag", Dec, 0},
    {"pla_bedrag_3", Dec, 0},
    {"pla_bedrag_5", Dec, 0},
    {"pla_km_sqr", Dec, 0},
    {"pla_km_map", Dec, 0},
    {"pla_rollers", Int, 0},
    {"pla_rolstoel", Int, 0},
    {"pla_soortwagen", Txt, 1},
    {"pla_reiziger", Int, 0},
    {"pla_bestnummer", Txt, 10},
    {"pla_bestnummertoe", Txt, 6},
    {"pla_bestpostcode", Txt, 10},
    {"pla_beststad", Txt, 50},
    {"pla_besstraat", Txt, 50},
    {"pla_datum", Dt, 0},
    {"pla_tijdstip", Dt, 0},
    {"pla_tijdstip_locatie", Dt, 0},
    {"pla_ophnummer", Txt, 10},
    {"pla_ophnummertoe", Txt, 6},
    {"pla_ophpostcode", Txt, 10},
    {"pla_ophstad", Txt, 50},
    {"pla_ophstraat", Txt, 50},
    {"pla_extern", Int, 0},
    {"pla_extern_ritnummer", Int, 0},
    {"pla_referentie", Txt, 40},
    {"pla_extern_kostenplaats", Txt, 20},
    {"pla_soortrit", Txt, 1},
    {"pla_soortvervoer", Txt, 1},
    {"pla_status", Txt, 1},
    {"pla_naam_reiziger", Txt, 50},
    {"pla_telefoon", Txt, 40},
    {"pla_extern_locatie", Txt, 20},
    {"pla_tekst", UTxt, 0},
    // changes and cancellations
    {"pla_cloud", Int, 0},
    {"pla_opmerking", Txt, 50},
    {"pla_filter", Txt, 1},
    {"pla_combineren", Int, 0},
    // defaults of a new row and the keyword rules
    {"pla_bloktijd", Int, 0},
    {"pla_isretour", Int, 0},
    {"pla_txtext_actief", Int, 0},
    {"pla_proces", Int, 0},
    {"pla_bellen", Int, 0},
    {"pla_voorin", Int, 0},
    {"pla_minuten", Int, 0},
    {"pla_centralist_trigger_teller", Int, 0},
    {"pla_centralist_trigger", Int, 0},
    {"pla_hulpstukken", Int, 0},
    {"pla_mut", Int, 0},
    {"pla_van", Int, 0},
    {"pla_naar", Int, 0},
    {"pla_route", Int, 0},
    {"pla_chauffeur", Int, 0},
    {"pla_wagen", Int, 0},
    {"pla_zone_naar", Int, 0},
    {"pla_zone_van", Int, 0},
    {"pla_ntr", Int, 0},
    {"pla_vektis", Int, 0},
    {"pla_vektis_subnummer", Int, 0},
    {"pla_uzovi", Int, 0},
    {"pla_begeleiding", Int, 0},
    {"pla_temp", Txt, 40},
    {"pla_txtext_vanaf", Dt, 0},
    {"pla_tvtext_verwacht", Dt, 0},
    {"pla_is_materiaal", Int, 0},
    {"pla_is_koprit", Int, 0},
    {"pla_norm_segmenttijd", Int, 0},
    {"pla_norm_segmentkm", Dec, 0},
    {"pla_norm_aanrijtijd", Int, 0},
    {"pla_norm_aanrijkm", Dec, 0},
    {"pla_redenloosmelden", Txt, 50},
    {"pla_kleur", Txt, 20},
    {"pla_auto_wagen", Int, 0},
    {"pla_wachtseconden", Int, 0},
    {"pla_retour_rbs", Int, 0},
    {"pla_nooitplannen", Int, 0},
    {"pla_ETA", Dt, 0},
    {"pla_ETD", Dt, 0},
    {"pla_ETA_latitude", Coord, 0},
    {"pla_ETA_longitude", Coord, 0},
    {"pla_ETD_latitude", Coord, 0},
    {"pla_ETD_longitude", Coord, 0},
    {"pla_minuten_extra", Int, 0},
    {"pla_minuten_afwijking", Int, 0},
    {"pla_taal", Txt, 1},
    {"pla_InTouch_status", Int, 0},
    {"pla_doof", Int, 0},
    {"pla_blind", Int, 0},
    {"pla_InUitAssistentie", Int, 0},
    {"pla_soho", Int, 0},
    {"pla_scootmobiel", Int, 0},
    {"pla_rollator", Int, 0},
    {"pla_opvouwbare_rolstoel", Int, 0},
    {"pla_electrische_rolstoel", Int, 0},
    // read by the return-message cycle
    {"pla_tijdstip_bestemmen", Dt, 0},
    {"pla_tijdstip_vrijmelden", Dt, 0},
    {"pla_tijdstip_toewijzen", Dt, 0},
    {"pla_eta_klok", Dt, 0},
    {"pla_etd_klok", Dt, 0},
    {"pla_odo_start", Dec, 0},
    {"pla_odo_stop", Dec, 0},
    {"pla_extern_verwijderd", Int, 0},
};

} // namespace

const QList<PlanningColumn> &planningColumns()
{
    return kColumns;
}

const PlanningColumn *planningColumn(const QString &name)
{
    for (const PlanningColumn &c : kColumns)
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

int planningTextWidth(const QString &name)
{
    const PlanningColumn *c = planningColumn(name);
    return c && c->type == ColumnType::Text ? c->width : 0;
}

QString fitPlanningText(const QString &name, const QString &value)
{
    const int width = planningTextWidth(name);
    return width > 0 ? value.left(width) : value;
}
