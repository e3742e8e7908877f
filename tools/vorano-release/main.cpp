// vorano-release: the release manager's side of the signed self-update.
//
//   vorano-release keygen PRIVATE-KEY-FILE PUBLIC-KEY-FILE [--force]
//       Makes a new Ed25519 key pair. Both files hold one line of base64. The private key file is created readable
//       by its owner only and is never overwritten unless --force is given. The public key goes into the program's
//       list of release keys.
//   vorano-release manifest PRIVATE-KEY-FILE RELEASE-FILE VERSION DOWNLOAD-URL OUT-MANIFEST
//                  [--section NAME] [--readme URL --readme-file FILE] [--page URL] [--sql-version V]
//                  [--valid-days N]
//       Writes the manifest for a release file (its size and SHA-256 included, the release notes' SHA-256 when
//       there are notes, and the end of its validity, N days from now, 30 by default) and signs it: OUT-MANIFEST and
//       OUT-MANIFEST.sig are the two files to publish, next to each other, on the update server.
//   vorano-release sign PRIVATE-KEY-FILE MANIFEST
//       Signs an existing manifest exactly as it is: writes MANIFEST.sig.
//   vorano-release verify PUBLIC-KEY-FILE MANIFEST [--section NAME]
//       Checks MANIFEST.sig against the public key and the manifest against the rules the program applies (the
//       same code), and prints what the program will read from it, control characters escaped; exit code 0 only
//       when the program would accept all of it, 1 with one line per refusal otherwise.

#include "SecretFile.h"
#include "base/LogLineText.h"
#include "update/IniProfile.h"
#include "update/ManifestRules.h"
#include "update/ReleaseSignature.h"
#include "update/TJFCAppUpdate.h"
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

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
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

// The manifest's values come from whoever wrote it: a control character in them never reaches the terminal.
void print(const char *label, const QString &value)
{
    std::printf("%-14s %s\n", label, EscapeLogText(value).toLocal8Bit().constData());
}

// Checks the signature and the rules, and shows the values as the program reads them.
int verify(const QByteArray &publicKey, const QString &manifestPath, const QString &section)
{
    bool ok = false;
    const QByteArray manifest = readFile(manifestPath, &ok);
    if (!ok)
        return fail(QStringLiteral("cannot read ") + manifestPath);
    const QByteArray signature = ParseSignatureFile(readFile(manifestPath + QStringLiteral(".sig"), &ok));
    if (!VerifyEd25519(manifest, signature, publicKey)) {
        std::printf("NOT valid: the signature does not match the manifest and this key\n");
        return 1;
    }
    if (manifest.size() > kMaxManifestBytes) {
        std::printf("NOT valid: the manifest is larger than %lld bytes\n", static_cast<long long>(kMaxManifestBytes));
        return 1;
    }
    const QString text = DecodeText(manifest);
    const QStringList refusals = ManifestRefusals(text, section, QDateTime::currentDateTimeUtc());
    for (const QString &refusal : refusals)
        std::printf("NOT valid: %s\n", EscapeLogText(refusal).toLocal8Bit().constData());
    if (!refusals.isEmpty())
        return 1;
    auto key = [&](const char *name) { return ReadProfileString(text, section, QLatin1String(name)); };
    const QString url = key("DownloadFileURL");
    const QString validUntil = key(kValidUntilKey);
    std::printf("valid\n");
    print("version:", key("Version"));
    print("file:", UrlFileName(url) + QStringLiteral(" (") + url + QLatin1Char(')'));
    print("size:", key("FileSize") + QStringLiteral(" bytes"));
    print("hash:", QStringLiteral("SHA-256 ") + key("SHA256Hash"));
    print("valid until:", validUntil.left(10) + QLatin1Char(' ') + validUntil.mid(11, 8) + QStringLiteral(" UTC"));
    if (!key("ReadmeFileURL").isEmpty())
        print("release notes:",
              key("ReadmeFileURL") + QStringLiteral(" (SHA-256 ") + key(kReadmeSha256Key) + QLatin1Char(')'));
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
    const QCommandLineOption readmeFile(QStringLiteral("readme-file"),
                                        QStringLiteral("The release notes as published (their SHA-256 is signed)."),
                                        QStringLiteral("file"));
    const QCommandLineOption sqlVersion(QStringLiteral("sql-version"),
                                        QStringLiteral("Database script version the release needs."),
                                        QStringLiteral("version"));
    const QCommandLineOption validDays(QStringLiteral("valid-days"),
                                       QStringLiteral("Days the manifest stays valid (default 30)."),
                                       QStringLiteral("days"), QStringLiteral("30"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("keygen: replace an existing key file."));
    parser.addOptions({section, readme, readmeFile, page, sqlVersion, validDays, force});
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);

    if (command == QLatin1String("keygen") && args.size() == 3) {
        const Ed25519KeyPair pair = MakeEd25519KeyPair();
        if (pair.privateKey.isEmpty())
            return fail(QStringLiteral("no key pair could be made"));
        const QString error = WriteSecretFile(args[1], pair.privateKey.toBase64() + '\n', parser.isSet(force));
        if (!error.isEmpty())
            return fail(error);
        if (!writeFile(args[2], pair.publicKey.toBase64() + '\n'))
            return fail(QStringLiteral("cannot write ") + args[2]);
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
        bool daysOk = false;
        const int days = parser.value(validDays).toInt(&daysOk);
        // The program refuses a manifest valid for more than a year.
        if (!daysOk || days < 1 || days > 365)
            return fail(QStringLiteral("--valid-days must be a number of days from 1 to 365"));
        if (parser.isSet(readme) != parser.isSet(readmeFile))
            return fail(QStringLiteral("--readme and --readme-file go together: the notes are shown only when signed"));
        QString readmeSha256;
        if (parser.isSet(readmeFile)) {
            readmeSha256 = FileSHA256(parser.value(readmeFile));
            if (readmeSha256.isEmpty())
                return fail(QStringLiteral("cannot read ") + parser.value(readmeFile));
        }
        QString text = QLatin1Char('[') + parser.value(section) + QStringLiteral("]\r\n");
        text += QStringLiteral("Version=") + version + QStringLiteral("\r\n");
        text += QStringLiteral("DownloadFileURL=") + url + QStringLiteral("\r\n");
        text += QStringLiteral("FileSize=") + QString::number(QFileInfo(args[2]).size()) + QStringLiteral("\r\n");
        text += QStringLiteral("SHA256Hash=") + sha256.toUpper() + QStringLiteral("\r\n");
        text += QLatin1String(kValidUntilKey) + QLatin1Char('=') +
                ValidUntilText(QDateTime::currentDateTimeUtc().addDays(days)) + QStringLiteral("\r\n");
        if (parser.isSet(readme)) {
            text += QStringLiteral("ReadmeFileURL=") + parser.value(readme) + QStringLiteral("\r\n");
            text +=
                QLatin1String(kReadmeSha256Key) + QLatin1Char('=') + readmeSha256.toUpper() + QStringLiteral("\r\n");
        }
        if (parser.isSet(page))
            text += QStringLiteral("UpdatePageURL=") + parser.value(page) + QStringLiteral("\r\n");
        if (parser.isSet(sqlVersion))
            text += QStringLiteral("SQLVersion=") + parser.value(sqlVersion) + QStringLiteral("\r\n");
        if (!writeFile(args[5], text.toUtf8()))
            return fail(QStringLiteral("cannot write ") + args[5]);
        return sign(key, args[5]);
    }
    if (command == QLatin1String("verify") && args.size() == 3)
        return verify(readKey(args[1]), args[2], parser.value(section));
    parser.showHelp(2);
}
