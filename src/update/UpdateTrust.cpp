#include "update/UpdateTrust.h"

namespace
{

// Base64 of the raw public keys. The private keys never enter the repository (see docs/security.md).
constexpr const char *kReleaseKeys[] = {
    "+sOdkpjBgo9TvCOdlA3z11LHcbQ85Cd4WwhMfV+mMWA=",
};

} // namespace

QList<QByteArray> BuiltInReleaseKeys()
{
    QList<QByteArray> keys;
    for (const char *key : kReleaseKeys)
        keys.append(QByteArray::fromBase64(key));
    return keys;
}

UpdateTrust UpdateTrust::BuiltIn()
{
    return UpdateTrust{BuiltInReleaseKeys(), {}};
}
