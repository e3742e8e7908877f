#pragma once

#include <QString>

// Which ride text a trip gets. The retrieval cycle writes the full text for a new trip and the same with short
// accessibility lines for a change; manual processing leaves out the trip type, the time anchor, the via locations
// and (for a change) the client's extra fields, and adds the feedback and call-back lines to a new trip.
enum class RideTextKind { NewTrip, ChangedTrip, ManualNewTrip, ManualChangedTrip };

// The remark text for pla_tekst: one line after the other, each ending in CR LF; a line break inside a value is
// CR LF as well. `tripText` is the trip with its
// client content removed, `clientText` the content of its client element.
QString BuildRideText(const QString &tripText, const QString &clientText, RideTextKind kind);

// Every line break in the text as CR LF, the line break of the texts the dispatch shows: a value read from a
// parsed reply has lone LFs (XML turns CR LF into LF), one from a saved file may have either.
QString CrLfLineBreaks(QString text);

// The call-back value of manual processing: pla_bellen 1 for callback 1 or 2.
bool CallbackWanted(const QString &tripText);
