#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Ed25519 signatures of release manifests. The keys are raw: 32 bytes public, 32 bytes private (the seed); a
// signature is 64 bytes. The cryptography is the system's libcrypto.
inline constexpr qsizetype kEd25519KeySize = 32;
inline constexpr qsizetype kEd25519SignatureSize = 64;

struct Ed25519KeyPair {
    QByteArray publicKey;
    QByteArray privateKey;
};

// A fresh key pair from the system's random source; empty keys when that fails.
Ed25519KeyPair MakeEd25519KeyPair();

// The signature of message; empty when the private key is not usable.
QByteArray SignEd25519(const QByteArray &message, const QByteArray &privateKey);

// The public key that belongs to a private key; empty when it is not usable.
QByteArray Ed25519PublicKeyOf(const QByteArray &privateKey);

// True when signature is a valid signature of message by publicKey.
bool VerifyEd25519(const QByteArray &message, const QByteArray &signature, const QByteArray &publicKey);

// True when signature is valid for any of the keys.
bool VerifyEd25519Any(const QByteArray &message, const QByteArray &signature, const QList<QByteArray> &publicKeys);

// The detached signature file: the signature in base64 on one line. Blanks and line ends around it are ignored;
// anything else that is not exactly one base64 signature gives an empty result.
QByteArray SignatureFileText(const QByteArray &signature);
QByteArray ParseSignatureFile(const QByteArray &text);

// The SHA-256 of a whole file as 64 lower-case hexadecimal digits; empty when the file cannot be read.
QString FileSHA256(const QString &fileName);
