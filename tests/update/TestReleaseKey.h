#pragma once

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
