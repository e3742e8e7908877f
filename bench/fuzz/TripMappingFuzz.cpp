// The trip mapping: the input is one trip element as the item walk hands it on. Building the ride row of a new
// trip and of a change (found and not found, from the service and from a saved file), the ride texts and the
// conversions of its values end in a row or in a conversion error, never in a crash.
#include "FuzzSupport.h"
#include "TripFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    // The first byte's bits choose the settings, the kind of change and whether the trip came from a saved file.
    const unsigned char flags = bytes.isEmpty() ? 0 : uchar(bytes.at(0));
    fuzzTrip(QString::fromUtf8(bytes), flags, (flags & 32) != 0);
    return 0;
}
