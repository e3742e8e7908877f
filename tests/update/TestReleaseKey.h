#pragma once

#include "update/ManifestRules.h"
#include "update/ReleaseSignature.h"
#include "update/UpdateTrust.h"

// A release key pair made for one test: the update component is told to trust it instead of the built-in keys.
struct TestReleaseKey {
    Ed25519KeyPair pair = MakeEd25519KeyPair();

    UpdateTrust trust() const { return UpdateTrust{{pair.publicKey}, {}}; }
    // The text of the signature file of a manifest.
    QByteArray signatureFile(const QByteArray &manifest) const
    {
        return SignatureFileText(SignEd25519(manifest, pair.privateKey));
    }
};

// "ValidUntil=..." a month from now, with its line end: current for the whole run of a test and within the year
// ahead that the program accepts.
inline QByteArray CurrentValidUntilLine()
{
    return "ValidUntil=" + ValidUntilText(QDateTime::currentDateTimeUtc().addDays(30)).toLatin1() + "\r\n";
}
