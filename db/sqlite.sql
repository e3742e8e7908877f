-- Dispatch tables used by the link client, for the embedded SQLite database.
-- The program creates a missing database file with this script. Date-times are stored as text in SQLite's own
-- form "YYYY-MM-DD HH:MM:SS"; decimals as REAL. Text widths are enforced with CHECK constraints, as SQL Server
-- would refuse a value that is too long. Statements end with ";" at the end of a line.

CREATE TABLE Planning (
    pla_id                        INTEGER PRIMARY KEY AUTOINCREMENT,
    pla_eigenaar                  VARCHAR(3) CHECK (length(pla_eigenaar) <= 3),
    pla_zone_aantal               INTEGER,
    pla_zones_extern              INTEGER,
    pla_oph_syn                   VARCHAR(50) CHECK (length(pla_oph_syn) <= 50),
    pla_bes_syn                   VARCHAR(50) CHECK (length(pla_bes_syn) <= 50),
    pla_bdr_id                    INTEGER,
    pla_tarief_bedrijf            INTEGER,
    pla_spoed                     INTEGER,
    pla_rc                        INTEGER,
    pla_lopers                    INTEGER,
    pla_bedrag                    REAL,
    pla_bedrag_3                  REAL,
    pla_bedrag_5                  REAL,
    pla_km_sqr                    REAL,
    pla_km_map                    REAL,
    pla_rollers                   INTEGER,
    pla_rolstoel                  INTEGER,
    pla_soortwagen                VARCHAR(1) CHECK (length(pla_soortwagen) <= 1),
    pla_reiziger                  INTEGER,
    pla_bestnummer                VARCHAR(10) CHECK (length(pla_bestnummer) <= 10),
    pla_bestnummertoe             VARCHAR(6) CHECK (length(pla_bestnummertoe) <= 6),
    pla_bestpostcode              VARCHAR(10) CHECK (length(pla_bestpostcode) <= 10),
    pla_beststad                  VARCHAR(50) CHECK (length(pla_beststad) <= 50),
    pla_besstraat                 VARCHAR(50) CHECK (length(pla_besstraat) <= 50),
    pla_datum                     DATETIME,
    pla_tijdstip                  DATETIME,
    pla_tijdstip_locatie          DATETIME,
    pla_ophnummer                 VARCHAR(10) CHECK (length(pla_ophnummer) <= 10),
    pla_ophnummertoe              VARCHAR(6) CHECK (length(pla_ophnummertoe) <= 6),
    pla_ophpostcode               VARCHAR(10) CHECK (length(pla_ophpostcode) <= 10),
    pla_ophstad                   VARCHAR(50) CHECK (length(pla_ophstad) <= 50),
    pla_ophstraat                 VARCHAR(50) CHECK (length(pla_ophstraat) <= 50),
    pla_extern                    INTEGER,
    pla_extern_ritnummer          INTEGER,
    pla_referentie                VARCHAR(40) CHECK (length(pla_referentie) <= 40),
    pla_extern_kostenplaats       VARCHAR(20) CHECK (length(pla_extern_kostenplaats) <= 20),
    pla_soortrit                  VARCHAR(1) CHECK (length(pla_soortrit) <= 1),
    pla_soortvervoer              VARCHAR(1) CHECK (length(pla_soortvervoer) <= 1),
    pla_status                    VARCHAR(1) CHECK (length(pla_status) <= 1),
    pla_naam_reiziger             VARCHAR(50) CHECK (length(pla_naam_reiziger) <= 50),
    pla_telefoon                  VARCHAR(40) CHECK (length(pla_telefoon) <= 40),
    pla_extern_locatie            VARCHAR(20) CHECK (length(pla_extern_locatie) <= 20),
    pla_tekst                     TEXT,
    pla_cloud                     INTEGER,
    pla_opmerking                 VARCHAR(50) CHECK (length(pla_opmerking) <= 50),
    pla_filter                    VARCHAR(1) CHECK (length(pla_filter) <= 1),
    pla_combineren                INTEGER,
    pla_bloktijd                  INTEGER,
    pla_isretour                  INTEGER,
    pla_txtext_actief             INTEGER,
    pla_proces                    INTEGER,
    pla_bellen                    INTEGER,
    pla_voorin                    INTEGER,
    pla_minuten                   INTEGER,
    pla_centralist_trigger_teller INTEGER,
    pla_centralist_trigger        INTEGER,
    pla_hulpstukken               INTEGER,
    pla_mut                       INTEGER,
    pla_van                       INTEGER,
    pla_naar                      INTEGER,
    pla_route                     INTEGER,
    pla_chauffeur                 INTEGER,
    pla_wagen                     INTEGER,
    pla_zone_naar                 INTEGER,
    pla_zone_van                  INTEGER,
    pla_ntr                       INTEGER,
    pla_vektis                    INTEGER,
    pla_vektis_subnummer          INTEGER,
    pla_uzovi                     INTEGER,
    pla_begeleiding               INTEGER,
    pla_temp                      VARCHAR(40) CHECK (length(pla_temp) <= 40),
    pla_txtext_vanaf              DATETIME,
    pla_tvtext_verwacht           DATETIME,
    pla_is_materiaal              INTEGER,
    pla_is_koprit                 INTEGER,
    pla_norm_segmenttijd          INTEGER,
    pla_norm_segmentkm            REAL,
    pla_norm_aanrijtijd           INTEGER,
    pla_norm_aanrijkm             REAL,
    pla_redenloosmelden           VARCHAR(50) CHECK (length(pla_redenloosmelden) <= 50),
    pla_kleur                     VARCHAR(20) CHECK (length(pla_kleur) <= 20),
    pla_auto_wagen                INTEGER,
    pla_wachtseconden             INTEGER,
    pla_retour_rbs                INTEGER,
    pla_nooitplannen              INTEGER,
    pla_ETA                       DATETIME,
    pla_ETD                       DATETIME,
    pla_ETA_latitude              REAL,
    pla_ETA_longitude             REAL,
    pla_ETD_latitude              REAL,
    pla_ETD_longitude             REAL,
    pla_minuten_extra             INTEGER,
    pla_minuten_afwijking         INTEGER,
    pla_taal                      VARCHAR(1) CHECK (length(pla_taal) <= 1),
    pla_InTouch_status            INTEGER,
    pla_doof                      INTEGER,
    pla_blind                     INTEGER,
    pla_InUitAssistentie          INTEGER,
    pla_soho                      INTEGER,
    pla_scootmobiel               INTEGER,
    pla_rollator                  INTEGER,
    pla_opvouwbare_rolstoel       INTEGER,
    pla_electrische_rolstoel      INTEGER,
    pla_tijdstip_bestemmen        DATETIME,
    pla_tijdstip_vrijmelden       DATETIME,
    pla_tijdstip_toewijzen        DATETIME,
    pla_eta_klok                  DATETIME,
    pla_etd_klok                  DATETIME,
    pla_odo_start                 REAL,
    pla_odo_stop                  REAL,
    pla_extern_verwijderd         INTEGER
);

-- pla_extern_verwijderd: 1 on a ride the link client cancelled for its trip, 0 on a ride it made; nothing else
-- writes it. A database without the column still works (cancelled rides are then told by their remark alone);
-- it is added with ALTER TABLE Planning ADD pla_extern_verwijderd INTEGER.
-- A stored ride is found again by its temporary key, so a key may occur only once.
CREATE UNIQUE INDEX planning_pla_temp ON Planning (pla_temp) WHERE pla_temp IS NOT NULL;
CREATE INDEX planning_pla_extern_ritnummer ON Planning (pla_extern_ritnummer);

CREATE TABLE constanten (
    con_bdr_id             INTEGER,
    con_aanvraag_verzenden INTEGER
);

CREATE TABLE InterneActies (
    iac_rit  INTEGER,
    iac_code INTEGER
);

CREATE TABLE TRANSACTIES (
    tra_id        INTEGER PRIMARY KEY AUTOINCREMENT,
    tra_datumtijd DATETIME DEFAULT (datetime('now', 'localtime')),
    tra_gebruiker INTEGER,
    tra_ritstaat  INTEGER,
    tra_rit       INTEGER,
    tra_wagen     INTEGER,
    tra_chauffeur INTEGER,
    tra_code      INTEGER,
    tra_opmerking VARCHAR(255) CHECK (length(tra_opmerking) <= 255)
);

CREATE TABLE koppelingen (
    kop_id        INTEGER PRIMARY KEY AUTOINCREMENT,
    kop_pla_id    INTEGER,
    kop_type      INTEGER,
    kop_status    INTEGER DEFAULT 0,
    kop_eigenaar  VARCHAR(3) CHECK (length(kop_eigenaar) <= 3),
    kop_datumtijd DATETIME,
    kop_latitude  REAL,
    kop_longitude REAL
);

CREATE INDEX koppelingen_pending ON koppelingen (kop_status, kop_eigenaar, kop_datumtijd);

CREATE TABLE wagens (
    wag_id       INTEGER PRIMARY KEY,
    wag_kenteken VARCHAR(10) CHECK (length(wag_kenteken) <= 10),
    wag_taxis    INTEGER
);

CREATE TABLE ExterneBronnen (
    ebr_id           VARCHAR(38) PRIMARY KEY DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2)))
                         || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-'
                         || upper(hex(randomblob(6))) || '}'),
    ebr_code         VARCHAR(3) CHECK (length(ebr_code) <= 3),
    ebr_omschrijving VARCHAR(50) CHECK (length(ebr_omschrijving) <= 50)
);
