#include "trips/TripTransactions.h"

#include "app/DispatchDb.h"
#include "app/OperationContext.h"
#include "link/Conversions.h"

#include <exception>

void LogRideTransaction(OperationContext &ctx, int rideId, int code, const QString &remark)
{
    try {
        const int user = LeadingInt(ctx.controls.text(Control::Gebruiker));
        ctx.db
            .exec(QStringLiteral("INSERT INTO TRANSACTIES (tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, "
                                 "tra_chauffeur, tra_code, tra_opmerking) VALUES  (?,?,?,?,?,?,?)"),
                  {user, 0, rideId, 0, 0, code, remark})
            .finish();
    } catch (const std::exception &e) {
        ctx.logError(QString::fromUtf8(e.what()));
    }
}
