#include "ImportHarness.h"

#include "link/ReadXmlTag.h"

ImportHarness::ImportHarness()
{
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    controls.setText(Control::xInlognaam, QStringLiteral("taxi"));
    controls.setText(Control::xPaswoord, QStringLiteral("geheim"));
    controls.setText(Control::xSoapServer, QStringLiteral("http://127.0.0.1:1/_external"));
    controls.setChecked(Control::xVerwerken, true);
    controls.setChecked(Control::xBevestigen, true);
    controls.setChecked(Control::BackupsMaken, true);
    db = std::make_unique<DispatchDb>(controls, dir.path());
    service.setResponder([](const QString &) { return QStringLiteral("<kwp><status>200</status></kwp>"); });
    m_ctx.reset(new OperationContext{controls, service.factory(), *db, pump, clock, dir.folders(), resultList,
                                     [this](const QString &m) { log << m; }});
}

QVariant ImportHarness::scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery q = db->exec(sql, params);
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    return v;
}

QVariantMap ImportHarness::ride(int id)
{
    QSqlQuery q = db->exec(QStringLiteral("SELECT * FROM Planning WHERE pla_id=?"), {id});
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
    QSqlQuery q = db->exec(QStringLiteral("SELECT pla_id FROM Planning ORDER BY pla_id"));
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
