#pragma once

#include <QDateTime>
#include <QString>

class QSqlRecord;

// One row of the return-message query: a pending outbox event joined with its ride and vehicle. A database NULL
// reads as 0 for numbers, an empty text for texts and decimals, and a null date-time (sent as the zero date) for
// date-times. Decimals are kept as their decimal text ("12345.67") so that no binary rounding creeps in.
struct EventRow {
    qint64 kop_status = 0;
    qint64 kop_id = 0;
    qint64 kop_type = 0;
    qint64 pla_extern = 0;
    QString pla_status;
    qint64 pla_id = 0;
    qint64 pla_van = 0;
    qint64 pla_naar = 0;
    QDateTime pla_tijdstip_bestemmen;
    QDateTime pla_tijdstip_vrijmelden;
    qint64 pla_lopers = 0;
    qint64 pla_rollers = 0;
    QString pla_redenloosmelden;
    QString pla_odo_start;
    QString pla_odo_stop;
    qint64 pla_route = 0;
    QString wag_kenteken;
    qint64 wag_taxis = 0;
    QDateTime kop_datumtijd;
    QString kop_latitude;
    QString kop_longitude;
    QDateTime pla_tijdstip_toewijzen;
    QDateTime pla_eta;
    QDateTime pla_eta_klok;
    QDateTime pla_etd;
    QDateTime pla_etd_klok;

    // Reads the columns by name, whatever their letter case.
    static EventRow fromRecord(const QSqlRecord &record);
};
