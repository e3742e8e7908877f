-- Dispatch tables used by the link client, for a test installation on Microsoft SQL Server (T-SQL).
-- Text columns are single-byte (varchar) except the Unicode ride text pla_tekst.
-- The filtered index on pla_temp needs QUOTED_IDENTIFIER and ANSI_NULLS on, for this script (sqlcmd turns
-- QUOTED_IDENTIFIER off unless started with -I) and for every session that writes Planning (the ODBC drivers,
-- FreeTDS included, turn both on at login).

SET QUOTED_IDENTIFIER ON;
SET ANSI_NULLS ON;
GO

CREATE TABLE Planning (
    pla_id                        int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    pla_eigenaar                  varchar(3),
    pla_zone_aantal               int,
    pla_zones_extern              int,
    pla_oph_syn                   varchar(50),
    pla_bes_syn                   varchar(50),
    pla_bdr_id                    int,
    pla_tarief_bedrijf            int,
    pla_spoed                     int,
    pla_rc                        int,
    pla_lopers                    int,
    pla_bedrag                    decimal(18,2),
    pla_bedrag_3                  decimal(18,2),
    pla_bedrag_5                  decimal(18,2),
    pla_km_sqr                    decimal(18,2),
    pla_km_map                    decimal(18,2),
    pla_rollers                   int,
    pla_rolstoel                  int,
    pla_soortwagen                varchar(1),
    pla_reiziger                  int,
    pla_bestnummer                varchar(10),
    pla_bestnummertoe             varchar(6),
    pla_bestpostcode              varchar(10),
    pla_beststad                  varchar(50),
    pla_besstraat                 varchar(50),
    pla_datum                     datetime,
    pla_tijdstip                  datetime,
    pla_tijdstip_locatie          datetime,
    pla_ophnummer                 varchar(10),
    pla_ophnummertoe              varchar(6),
    pla_ophpostcode               varchar(10),
    pla_ophstad                   varchar(50),
    pla_ophstraat                 varchar(50),
    pla_extern                    int,
    pla_extern_ritnummer          int,
    pla_referentie                varchar(40),
    pla_extern_kostenplaats       varchar(20),
    pla_soortrit                  varchar(1),
    pla_soortvervoer              varchar(1),
    pla_status                    varchar(1),
    pla_naam_reiziger             varchar(50),
    pla_telefoon                  varchar(40),
    pla_extern_locatie            varchar(20),
    pla_tekst                     nvarchar(max),
    pla_cloud                     int,
    pla_opmerking                 varchar(50),
    pla_filter                    varchar(1),
    pla_combineren                int,
    pla_bloktijd                  int,
    pla_isretour                  int,
    pla_txtext_actief             int,
    pla_proces                    int,
    pla_bellen                    int,
    pla_voorin                    int,
    pla_minuten                   int,
    pla_centralist_trigger_teller int,
    pla_centralist_trigger        int,
    pla_hulpstukken               int,
    pla_mut                       int,
    pla_van                       int,
    pla_naar                      int,
    pla_route                     int,
    pla_chauffeur                 int,
    pla_wagen                     int,
    pla_zone_naar                 int,
    pla_zone_van                  int,
    pla_ntr                       int,
    pla_vektis                    int,
    pla_vektis_subnummer          int,
    pla_uzovi                     int,
    pla_begeleiding               int,
    pla_temp                      varchar(40),
    pla_txtext_vanaf              datetime,
    pla_tvtext_verwacht           datetime,
    pla_is_materiaal              int,
    pla_is_koprit                 int,
    pla_norm_segmenttijd          int,
    pla_norm_segmentkm            decimal(18,2),
    pla_norm_aanrijtijd           int,
    pla_norm_aanrijkm             decimal(18,2),
    pla_redenloosmelden           varchar(50),
    pla_kleur                     varchar(20),
    pla_auto_wagen                int,
    pla_wachtseconden             int,
    pla_retour_rbs                int,
    pla_nooitplannen              int,
    pla_ETA                       datetime,
    pla_ETD                       datetime,
    pla_ETA_latitude              decimal(18,6),
    pla_ETA_longitude             decimal(18,6),
    pla_ETD_latitude              decimal(18,6),
    pla_ETD_longitude             decimal(18,6),
    pla_minuten_extra             int,
    pla_minuten_afwijking         int,
    pla_taal                      varchar(1),
    pla_InTouch_status            int,
    pla_doof                      int,
    pla_blind                     int,
    pla_InUitAssistentie          int,
    pla_soho                      int,
    pla_scootmobiel               int,
    pla_rollator                  int,
    pla_opvouwbare_rolstoel       int,
    pla_electrische_rolstoel      int,
    pla_tijdstip_bestemmen        datetime,
    pla_tijdstip_vrijmelden       datetime,
    pla_tijdstip_toewijzen        datetime,
    pla_eta_klok                  datetime,
    pla_etd_klok                  datetime,
    pla_odo_start                 decimal(18,2),
    pla_odo_stop                  decimal(18,2),
    pla_extern_verwijderd         int
);
GO

-- pla_extern_verwijderd: 1 on a ride the link client cancelled for its trip, 0 on a ride it made; nothing else
-- writes it. A database without the column still works (cancelled rides are then told by their remark alone);
-- it is added with ALTER TABLE Planning ADD pla_extern_verwijderd int.
-- A stored ride is found again by its temporary key, so a key may occur only once. The filter keeps rows
-- without a key (written by other programs) apart: a plain unique index would allow only one NULL.
CREATE UNIQUE INDEX planning_pla_temp ON Planning (pla_temp) WHERE pla_temp IS NOT NULL;
CREATE INDEX planning_pla_extern_ritnummer ON Planning (pla_extern_ritnummer);
GO

CREATE TABLE constanten (
    con_bdr_id             int,
    con_aanvraag_verzenden int
);

CREATE TABLE InterneActies (
    iac_rit  int,
    iac_code int
);

CREATE TABLE TRANSACTIES (
    tra_id        int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    tra_datumtijd datetime DEFAULT GETDATE(),
    tra_gebruiker int,
    tra_ritstaat  int,
    tra_rit       int,
    tra_wagen     int,
    tra_chauffeur int,
    tra_code      int,
    tra_opmerking varchar(255)
);

CREATE TABLE koppelingen (
    kop_id        int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    kop_pla_id    int,
    kop_type      int,
    kop_status    int DEFAULT 0,
    kop_eigenaar  varchar(3),
    kop_datumtijd datetime,
    kop_latitude  decimal(18,6),
    kop_longitude decimal(18,6)
);

CREATE INDEX koppelingen_pending ON koppelingen (kop_status, kop_eigenaar, kop_datumtijd);

CREATE TABLE wagens (
    wag_id       int NOT NULL PRIMARY KEY,
    wag_kenteken varchar(10),
    wag_taxis    int
);

CREATE TABLE ExterneBronnen (
    ebr_id           uniqueidentifier NOT NULL PRIMARY KEY DEFAULT NEWID(),
    ebr_code         varchar(3),
    ebr_omschrijving varchar(50)
);
GO
