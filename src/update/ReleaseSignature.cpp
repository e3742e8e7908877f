#include "update/ReleaseSignature.h"

#include <QCryptographicHash>
#include <QFile>

#include <openssl/evp.h>

#include <memory>

namespace
{

struct KeyFree {
    void operator()(EVP_PKEY *k) const { EVP_PKEY_free(k); }
};
struct KeyCtxFree {
    void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

const auto *bytes(const QByteArray &a)
{
    return reinterpret_cast<const unsigned char *>(a.constData());
}

Key privateKeyOf(const QByteArray &privateKey)
{
    if (privateKey.size() != kEd25519KeySize)
        return {};
    return Key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(privateKey), size_t(privateKey.size())));
}

QByteArray rawKey(EVP_PKEY *key, bool isPrivate)
{
    QByteArray out(kEd25519KeySize, '\0');
    size_t length = size_t(out.size());
    auto *data = reinterpret_cast<unsigned char *>(out.data());
    const int ok =
        isPrivate ? EVP_PKEY_get_raw_private_key(key, data, &length) : EVP_PKEY_get_raw_public_key(key, data, &length);
    if (ok != 1 || length != size_t(kEd25519KeySize))
        return {};
    return out;
}

} // namespace

Ed25519KeyPair MakeEd25519KeyPair()
{
    std::unique_ptr<EVP_PKEY_CTX, KeyCtxFree> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY *generated = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &generated) != 1)
        return {};
    const Key key(generated);
    return {rawKey(key.get(), false), rawKey(key.get(), true)};
}

QByteArray Ed25519PublicKeyOf(const QByteArray &privateKey)
{
    const Key key = privateKeyOf(privateKey);
    return key ? rawKey(key.get(), false) : QByteArray();
}

QByteArray SignEd25519(const QByteArray &message, const QByteArray &privateKey)
{
    const Key key = privateKeyOf(privateKey);
    const MdCtx ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {};
    QByteArray signature(kEd25519SignatureSize, '\0');
    size_t length = size_t(signature.size());
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char *>(signature.data()), &length, bytes(message),
                       size_t(message.size())) != 1 ||
        length != size_t(kEd25519SignatureSize))
        return {};
    return signature;
}

bool VerifyEd25519(const QByteArray &message, const QByteArray &signature, const QByteArray &publicKey)
{
    if (signature.size() != kEd25519SignatureSize || publicKey.size() != kEd25519KeySize)
        return false;
    const Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), size_t(publicKey.size())));
    const MdCtx ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), bytes(signature), size_t(signature.size()), bytes(message),
                            size_t(message.size())) == 1;
}

bool VerifyEd25519Any(const QByteArray &message, const QByteArray &signature, const QList<QByteArray> &publicKeys)
{
    for (const QByteArray &key : publicKeys)
        if (VerifyEd25519(message, signature, key))
            return true;
    return false;
}

QByteArray SignatureFileText(const QByteArray &signature)
{
    return signature.toBase64() + "\r\n";
}

QByteArray ParseSignatureFile(const QByteArray &text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::Base64Encoding |
                                                                            QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != kEd25519SignatureSize)
        return {};
    return decoded.decoded;
}

QString FileSHA256(const QString &fileName)
{
    QFile file(fileName);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}
