#include "feedback/OwnerLookup.h"

#include "db/DispatchDb.h"
#include "settings/Controls.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace
{

QString text(const QSqlRecord &record, const char *name)
{
    const QVariant v = record.value(QString::fromLatin1(name));
    return v.isNull() ? QString() : v.toString();
}

} // namespace

QList<Owner> ReadOwners(DispatchDb &db)
{
    QSqlQuery query = db.exec(db.dialect().ownerList());
    QList<Owner> owners;
    while (query.next()) {
        const QSqlRecord r = query.record();
        owners.append({text(r, "ebr_omschrijving"), text(r, "ebr_id"), text(r, "ebr_code")});
    }
    query.finish();
    return owners;
}

void ZoekEigenaar(Controls &controls, DispatchDb &db, const OwnerChooser &choose)
{
    const QList<Owner> owners = ReadOwners(db);
    if (const std::optional<QString> code = choose(owners))
        controls.setText(Control::Eigenaar, *code);
}
