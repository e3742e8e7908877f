#pragma once

#include <QString>

// Maps one trip item the way the trip import does, with settings chosen by the bits of `flags` (the lowest four)
// and a change to a found or a missing ride (the fifth).
void fuzzTrip(const QString &item, unsigned char flags, bool manual);
