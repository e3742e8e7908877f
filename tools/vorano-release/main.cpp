// vorano-release: the release manager's side of the signed self-update.
//
//   vorano-release keygen PRIVATE-KEY-FILE PUBLIC-KEY-FILE
//       Makes a new Ed25519 key pair. Both files hold one line of base64; the private key file is readable by its
//       owner only. The public key goes into the program's list of release keys.
//   vorano-release manifest PRIVATE-KEY-FILE RELEASE-FILE VERSION DOWNLOAD-URL OUT-MANIFEST
//                  [--section NAME] [--readme URL] [--page URL] [--sql-version V]
//       Writes the manifest for a release file (its SHA-256 included) and signs it: OUT-MANIFEST and
//       OUT-MANIFEST.sig are the two files to publish, next to each other, on the update server.
//   vorano-release sign PRIVATE-KEY-FILE MANIFEST
//       Signs an existing manifest exactly as it is: writes MANIFEST.sig.
//   vorano-release verify PUBLIC-KEY-FILE MANIFEST
//       Checks MANIFEST.sig against the public key; exit code 0 when valid.

#include "update/ReleaseSignature.h"
#include "update/UpdateText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace
{

int fail(const QString &message)
{
    std::fprintf(stderr, "vorano-release: %s\n", message.toLocal8Bit().constData());
    return 1;
}

QByteArray readKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QByteArray::fromBase64(file.readAll().trimmed());
}

bool writeFile(const QString &path, const QByteArray &content, bool secret = false)
{
    QFile file(path);
    if (secret) {
        // Created empty with the owner's rights only, before the key is written into it.
        QFile::remove(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return false;
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    } else if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(content) == content.size() && file.flush();
}

QByteArray readFile(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

int sign(const QByteArray &privateKey, const QString &manifestPath)
{
    bool ok = false;
    const QByteArray manifest = readFile(manifestPath, &ok);
    if (!ok)
        return fail(QStringLiteral("cannot read ") + manifestPath);
    const QByteArray signature = SignEd25519(manifest, privateKey);
    if (signature.isEmpty())
        return fail(QStringLiteral("the private key is not usable"));
    if (!writeFile(manifestPath + QStringLiteral(".sig"), SignatureFileText(signature)))
        return fail(QStringLiteral("cannot write ") + manifestPath + QStringLiteral(".sig"));
    std::printf("signed %s with the key %s\n", manifestPath.toLocal8Bit().constData(),
                Ed25519PublicKeyOf(privateKey).toBase64().constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Key pairs and signed manifests for the self-update."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("keygen, manifest, sign or verify"));
    const QCommandLineOption section(QStringLiteral("section"), QStringLiteral("Manifest section (program name)."),
                                     QStringLiteral("name"), QStringLiteral("VoranoOstrel"));
    const QCommandLineOption readme(QStringLiteral("readme"), QStringLiteral("Address of the release notes."),
                                    QStringLiteral("url"));
    const QCommandLineOption page(QStringLiteral("page"), QStringLiteral("Web page on the update server."),
                                  QStringLiteral("url"));
    const QCommandLineOption sqlVersion(QStringLiteral("sql-version"),
                                        QStringLiteral("Database script version the release needs."),
                                        QStringLiteral("version"));
    parser.addOptions({section, readme, page, sqlVersion});
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);

    if (command == QLatin1String("keygen") && args.size() == 3) {
        const Ed25519KeyPair pair = MakeEd25519KeyPair();
        if (pair.privateKey.isEmpty())
            return fail(QStringLiteral("no key pair could be made"));
        if (QFileInfo::exists(args[1]))
            return fail(args[1] + QStringLiteral(" exists; a key is never overwritten"));
        if (!writeFile(args[1], pair.privateKey.toBase64() + '\n', true) ||
            !writeFile(args[2], pair.publicKey.toBase64() + '\n'))
            return fail(QStringLiteral("cannot write the key files"));
        std::printf("%s\n", pair.publicKey.toBase64().constData());
        return 0;
    }
    if (command == QLatin1String("sign") && args.size() == 3) {
        const QByteArray key = readKey(args[1]);
        return sign(key, args[2]);
    }
    if (command == QLatin1String("manifest") && args.size() == 6) {
        const QByteArray key = readKey(args[1]);
        const QString version = args[3];
        const QString url = args[4];
        if (!ParseVersionNumbers(version))
            return fail(QStringLiteral("the version must be four numbers joined by \".\""));
        if (!IsWebAddress(url) || !IsSafeLocalFileName(UrlFileName(url)))
            return fail(QStringLiteral("the download address must be a web address ending in a plain file name"));
        const QString sha256 = FileSHA256(args[2]);
        if (sha256.isEmpty())
            return fail(QStringLiteral("cannot read ") + args[2]);
        QString text = QLatin1Char('[') + parser.value(section) + QStringLiteral("]\r\n");
        text += QStringLiteral("Version=") + version + QStringLiteral("\r\n");
        text += QStringLiteral("DownloadFileURL=") + url + QStringLiteral("\r\n");
        text += QStringLiteral("SHA256Hash=") + sha256.toUpper() + QStringLiteral("\r\n");
        if (parser.isSet(readme))
            text += QStringLiteral("ReadmeFileURL=") + parser.value(readme) + QStringLiteral("\r\n");
        if (parser.isSet(page))
            text += QStringLiteral("UpdatePageURL=") + parser.value(page) + QStringLiteral("\r\n");
        if (parser.isSet(sqlVersion))
            text += QStringLiteral("SQLVersion=") + parser.value(sqlVersion) + QStringLiteral("\r\n");
        if (!writeFile(args[5], text.toUtf8()))
            return fail(QStringLiteral("cannot write ") + args[5]);
        return sign(key, args[5]);
    }
    if (command == QLatin1String("verify") && args.size() == 3) {
        bool ok = false;
        const QByteArray manifest = readFile(args[2], &ok);
        const QByteArray signature = ParseSignatureFile(readFile(args[2] + QStringLiteral(".sig"), &ok));
        if (!VerifyEd25519(manifest, signature, readKey(args[1]))) {
            std::printf("NOT valid\n");
            return 1;
        }
        std::printf("valid\n");
        return 0;
    }
    parser.showHelp(2);
}
