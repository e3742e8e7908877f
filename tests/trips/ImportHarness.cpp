#include "ImportHarness.h"

#include "link/ReadXmlTag.h"

#include <QSqlQuery>
#include <QSqlRecord>

ImportHarness::ImportHarness()
    : CycleHarness(Scripted)
{
    controls.setText(Control::xInlognaam, QStringLiteral("taxi"));
    controls.setText(Control::xPaswoord, QStringLiteral("geheim"));
    clock.set(QDateTime(QDate(2015, 3, 31), QTime(7, 5, 9)));
}

QVariantMap ImportHarness::ride(int id)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT * FROM Planning WHERE pla_id=?"), {id});
    QVariantMap out;
    if (q.next()) {
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            out.insert(r.fieldName(i).toLower(), q.value(i));
    }
    q.finish();
    return out;
}

QList<int> ImportHarness::rideIds()
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT pla_id FROM Planning ORDER BY pla_id"));
    QList<int> ids;
    while (q.next())
        ids << q.value(0).toInt();
    return ids;
}

QList<QPair<QString, QString>> ImportHarness::confirmations() const
{
    QList<QPair<QString, QString>> out;
    for (const ScriptedService::Call &call : service.calls()) {
        if (!call.xml.contains(QStringLiteral("<name>ConfirmTrips</name>")))
            continue;
        out.append({ReadXMLTag(call.xml, QStringLiteral("id")), ReadXMLTag(call.xml, QStringLiteral("externalID"))});
    }
    return out;
}
