#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

class DispatchDb;

// Arranges rides, vehicles and outbox events in a dispatch database, as the dispatch product would write them.
namespace OutboxRows
{

void addVehicle(DispatchDb &db, int id, const QString &plate, int taxi);

// A ride with a vehicle number (a null QVariant for none) and a few reported values.
void addRide(DispatchDb &db, int id, const QVariant &vehicle, int tripNumber, const QString &status = QString());

// A pending (or other state) event; returns nothing, the key is given.
void addEvent(DispatchDb &db, int id, int ride, int type, const QString &owner, const QDateTime &at, int status = 0,
              double latitude = 52.370216, double longitude = 4.895168);

// kop_status of an event.
int eventStatus(DispatchDb &db, int id);

// The code-94 transactions as "ride:remark", in the order written.
QStringList statusTransactions(DispatchDb &db);

} // namespace OutboxRows
