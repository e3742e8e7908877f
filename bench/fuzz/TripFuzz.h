#pragma once

#include <QString>

// Maps one trip item the way the trip import does, with settings chosen by the bits of `flags`.
void fuzzTrip(const QString &item, unsigned char flags, bool manual);
