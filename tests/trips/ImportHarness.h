#pragma once

#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/ScriptedService.h"
#include "support/TempProgramDir.h"
#include "trips/TripImport.h"

#include <QSqlRecord>
#include <QVariantMap>

#include <memory>

// Counts the passes of the message loop.
class CountingPump : public EventPump
{
  public:
    void processEvents() override { ++passes; }
    int passes = 0;
};

// Everything one import operation needs: a program folder, controls set for importing with copies and
// confirmations, the embedded database (or whatever the controls are then pointed at), a scripted service, a
// fixed clock and a log.
class ImportHarness
{
  public:
    ImportHarness();

    OperationContext &ctx() { return *m_ctx; }
    void cycle() { import.runRetrievalCycle(ctx()); }
    void manual(const QString &path)
    { import.runManualProcessing(ctx(), [path] { return path;
    });
}

QVariant
scalar(const QString &sql, const QVariantList &params = {});
// Every column of the ride (names in lower case).
QVariantMap ride(int id);
QList<int> rideIds();
// The ConfirmTrips documents sent, as (id, externalID) texts.
QList<QPair<QString, QString>> confirmations() const;

TempProgramDir dir;
MemoryControls controls;
std::unique_ptr<DispatchDb> db;
ScriptedService service;
CountingPump pump;
FixedClock clock{QDateTime(QDate(2015, 3, 31), QTime(7, 5, 9))};
TextList resultList;
QStringList log;
TripImport import;

private:
std::unique_ptr<OperationContext> m_ctx;
}
;
