// The SOAP reply as the transport hands it over: the first line of the input is the reply's Content-Type, the rest
// its body. Any input ends in a text or in one of our errors, never in a crash, a hang or a foreign exception.
#include "FuzzSupport.h"
#include "base/VoranoError.h"
#include "link/SoapEnvelope.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzSplit input = fuzzSplit(fuzzBytes(data, size));
    const QString contentType = QString::fromLatin1(input.head);
    try {
        CheckReplyContentType(contentType);
        ReadSoapReply(input.rest, contentType);
    } catch (const VoranoError &) {
    }
    return 0;
}
