#include "feedback/EventRow.h"

#include "db/DispatchDb.h"

#include <QLocale>
#include <QSqlRecord>
#include <QVariant>

#include <cmath>

namespace
{

QVariant value(const QSqlRecord &record, const char *name)
{
    return record.value(QString::fromLatin1(name));
}

qint64 wholeNumber(const QSqlRecord &record, const char *name)
{
    const QVariant v = value(record, name);
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? static_cast<qint64>(d) : 0;
}

QString text(const QSqlRecord &record, const char *name)
{
    const QVariant v = value(record, name);
    return v.isNull() ? QString() : v.toString();
}

QString decimal(const QSqlRecord &record, const char *name)
{
    const QVariant v = value(record, name);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return {};
        // The shortest text that reads back as the same double: 1.13 stays 1.13, not 1.12999999...
        return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
    return v.toString().trimmed();
}

QDateTime dateTime(const QSqlRecord &record, const char *name)
{
    const QVariant v = value(record, name);
    return v.isNull() ? QDateTime() : DispatchDb::toDateTime(v, QString::fromLatin1(name));
}

} // namespace

EventRow EventRow::fromRecord(const QSqlRecord &r)
{
    EventRow e;
    e.kop_status = wholeNumber(r, "kop_status");
    e.kop_id = wholeNumber(r, "kop_id");
    e.kop_type = wholeNumber(r, "kop_type");
    e.pla_extern = wholeNumber(r, "pla_extern");
    e.pla_status = text(r, "pla_status");
    e.pla_id = wholeNumber(r, "pla_id");
    e.pla_van = wholeNumber(r, "pla_van");
    e.pla_naar = wholeNumber(r, "pla_naar");
    e.pla_tijdstip_bestemmen = dateTime(r, "pla_tijdstip_bestemmen");
    e.pla_tijdstip_vrijmelden = dateTime(r, "pla_tijdstip_vrijmelden");
    e.pla_lopers = wholeNumber(r, "pla_lopers");
    e.pla_rollers = wholeNumber(r, "pla_rollers");
    e.pla_redenloosmelden = text(r, "pla_redenloosmelden");
    e.pla_odo_start = decimal(r, "pla_odo_start");
    e.pla_odo_stop = decimal(r, "pla_odo_stop");
    e.pla_route = wholeNumber(r, "pla_route");
    e.wag_kenteken = text(r, "wag_kenteken");
    e.wag_taxis = wholeNumber(r, "wag_taxis");
    e.kop_datumtijd = dateTime(r, "kop_datumtijd");
    e.kop_latitude = decimal(r, "kop_latitude");
    e.kop_longitude = decimal(r, "kop_longitude");
    e.pla_tijdstip_toewijzen = dateTime(r, "pla_tijdstip_toewijzen");
    e.pla_eta = dateTime(r, "pla_eta");
    e.pla_eta_klok = dateTime(r, "pla_eta_klok");
    e.pla_etd = dateTime(r, "pla_etd");
    e.pla_etd_klok = dateTime(r, "pla_etd_klok");
    return e;
}
