#include "update/ReleaseSignature.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The first test vector of the Ed25519 definition: our signatures are the standard ones.
TEST(ReleaseSignature, KnownAnswer)
{
    const QByteArray secret = hex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
    const QByteArray publicKey = hex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
    const QByteArray signature = hex("e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
                                     "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b");
    EXPECT_EQ(Ed25519PublicKeyOf(secret), publicKey);
    EXPECT_EQ(SignEd25519(QByteArray(), secret), signature);
    EXPECT_TRUE(VerifyEd25519(QByteArray(), signature, publicKey));
}

TEST(ReleaseSignature, OnlyTheRightKeyAndTheSameBytesVerify)
{
    const Ed25519KeyPair key = MakeEd25519KeyPair();
    const Ed25519KeyPair other = MakeEd25519KeyPair();
    ASSERT_EQ(key.publicKey.size(), kEd25519KeySize);
    ASSERT_EQ(key.privateKey.size(), kEd25519KeySize);
    EXPECT_NE(key.publicKey, other.publicKey);

    const QByteArray manifest = "[VoranoOstrel]\r\nVersion=9.0.10.1\r\n";
    const QByteArray signature = SignEd25519(manifest, key.privateKey);
    ASSERT_EQ(signature.size(), kEd25519SignatureSize);
    EXPECT_TRUE(VerifyEd25519(manifest, signature, key.publicKey));

    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 1);
    const struct {
        const char *name;
        QByteArray message, signature, key;
    } refused[] = {
        {"other key", manifest, signature, other.publicKey},
        {"one more byte", manifest + "\n", signature, key.publicKey},
        {"one byte changed", QByteArray(manifest).replace("10", "11"), signature, key.publicKey},
        {"changed signature", manifest, flipped, key.publicKey},
        {"short signature", manifest, signature.left(63), key.publicKey},
        {"long signature", manifest, signature + 'x', key.publicKey},
        {"no signature", manifest, QByteArray(), key.publicKey},
        {"short key", manifest, signature, key.publicKey.left(31)},
        {"no key", manifest, signature, QByteArray()},
        {"zero key", manifest, signature, QByteArray(32, '\0')},
    };
    for (const auto &c : refused)
        EXPECT_FALSE(VerifyEd25519(c.message, c.signature, c.key)) << c.name;

    // Several keys for a rollover: any one of them will do.
    EXPECT_TRUE(VerifyEd25519Any(manifest, signature, {other.publicKey, key.publicKey}));
    EXPECT_FALSE(VerifyEd25519Any(manifest, signature, {other.publicKey}));
    EXPECT_FALSE(VerifyEd25519Any(manifest, signature, {}));
    EXPECT_TRUE(SignEd25519(manifest, QByteArray(31, 'k')).isEmpty());
}

TEST(ReleaseSignature, SignatureFile)
{
    const QByteArray signature = SignEd25519("x", MakeEd25519KeyPair().privateKey);
    const QByteArray text = SignatureFileText(signature);
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_EQ(ParseSignatureFile(text), signature);
    EXPECT_EQ(ParseSignatureFile("  \n" + text + "\n\n"), signature);
    for (const QByteArray &bad :
         {QByteArray(), QByteArray("geen"), text.left(20), text + text, QByteArray(text).replace(0, 1, "*"), signature})
        EXPECT_TRUE(ParseSignatureFile(bad).isEmpty()) << bad.constData();
}

TEST(ReleaseSignature, FileSha256)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("a")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
    EXPECT_EQ(FileSHA256(file.fileName()),
              QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(FileSHA256(dir.filePath(QStringLiteral("weg"))), QString());
}

} // namespace
