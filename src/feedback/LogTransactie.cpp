#include "feedback/LogTransactie.h"

#include "base/Conversions.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"

bool LogTransactie(DispatchDb &db, const Controls &controls, const ErrorHook &logError, int rideState, int ride,
                   int vehicle, int driver, int code, const QString &remark)
{
    try {
        const qint32 user = LeadingInt(controls.text(Control::Gebruiker));
        const QString sql = db.dialect().transactionRow().arg(user).arg(rideState).arg(ride).arg(vehicle).arg(driver).arg(code);
        // A null text would be bound as NULL; an empty remark is an empty text.
        const QString text = remark.isNull() ? QString(QLatin1String("")) : remark;
        db.exec(sql, {QVariant(text)}).finish();
        return true;
    } catch (const VoranoError &e) {
        if (logError)
            logError(e.message());
    } catch (const std::exception &e) {
        if (logError)
            logError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool LogTransactie(const OperationContext &context, int rideState, int ride, int vehicle, int driver, int code,
                   const QString &remark)
{
    return LogTransactie(context.db, context.controls, context.logError, rideState, ride, vehicle, driver, code, remark);
}
