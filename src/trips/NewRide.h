#pragma once

#include "trips/RideRow.h"

#include <QDateTime>
#include <QString>

class Controls;

// One trip as the retrieval cycle hands it on: the trip element with its client content removed, and that client
// content.
struct TripTexts {
    QString trip;
    QString client;
};

// Builds the complete ride row of a new trip: the ADOINS defaults with `temporaryKey`, the trip's columns and the
// row rules before store. `manual` selects the ride text and the call-back column of manual processing. Throws
// ConversionError (settings, dates, trip number) before anything is stored.
RideRow BuildNewRide(const TripTexts &trip, const Controls &controls, const QDateTime &now, const QString &temporaryKey,
                     bool manual);
