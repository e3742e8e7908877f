#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>

// What the update trusts: the public keys whose signature makes a release manifest ours, and certificate
// authorities beside the system's for the https addresses. The program only ever uses BuiltIn(); tests hand their
// own key and certificate to the update component.
struct UpdateTrust {
    QList<QByteArray> releaseKeys;              // raw Ed25519 public keys, 32 bytes each
    QList<QSslCertificate> extraCaCertificates; // added to the system's authorities

    static UpdateTrust BuiltIn();
};

// The release keys compiled into the program, newest first. A new key is added here one release before the old
// one stops being used for signing, so that installed programs learn it through a release signed with the old one.
QList<QByteArray> BuiltInReleaseKeys();
