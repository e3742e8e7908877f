#include "link/DocumentCopies.h"

#include "base/CheckedFileWrite.h"
#include "base/VoranoError.h"
#include "base/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace
{

constexpr QLatin1String kCopyEncoding("windows-1252");
// Copies of one name in one folder; a further one is refused rather than searched for without end.
constexpr int kMostCopiesOfOneName = 100000;
// The longest file name the file systems in use accept, in bytes.
constexpr qsizetype kLongestFileName = 255;

// The position and length of the encoding name in an XML declaration at the start of the text, or {-1, 0}.
// The declaration is ASCII in every encoding read here.
std::pair<qsizetype, qsizetype> declaredEncodingIn(QByteArrayView text)
{
    const auto blank = [&text](qsizetype i) {
        const char c = text.at(i);
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    if (!text.startsWith("<?xml"))
        return {-1, 0};
    const qsizetype end = text.indexOf("?>");
    qsizetype at = text.indexOf("encoding");
    if (end < 0 || at < 0 || at > end)
        return {-1, 0};
    at += 8;
    while (at < end && blank(at))
        ++at;
    if (at >= end || text.at(at) != '=')
        return {-1, 0};
    ++at;
    while (at < end && blank(at))
        ++at;
    if (at >= end || (text.at(at) != '"' && text.at(at) != '\''))
        return {-1, 0};
    const qsizetype close = text.indexOf(text.at(at), at + 1);
    if (close < 0 || close > end)
        return {-1, 0};
    return {at + 1, close - at - 1};
}

// The same for a text: its first characters stand for themselves in Latin-1, one byte per character.
std::pair<qsizetype, qsizetype> declaredEncoding(const QString &text)
{
    constexpr qsizetype kLongestDeclaration = 512;
    return declaredEncodingIn(QStringView(text).left(kLongestDeclaration).toLatin1());
}

// The names under which Windows-1252 is read. Latin-1 is read as Windows-1252 too: the two differ only at
// 0x80 to 0x9F, where Latin-1 has control characters that no document means.
bool isWindows1252Name(const QByteArray &name)
{
    const QByteArray n = name.trimmed().toLower();
    return n == "windows-1252" || n == "cp1252" || n == "x-cp1252" || n == "iso-8859-1" || n == "iso8859-1" ||
           n == "latin1" || n == "latin-1" || n == "l1" || n == "us-ascii" || n == "ascii";
}

bool isUtfName(const QByteArray &name)
{
    return name.trimmed().toLower().startsWith("utf");
}

QString withoutBom(QString text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

QByteArray DocumentCopyBytes(const QString &text)
{
    const auto [at, length] = declaredEncoding(text);
    if (at < 0 || QStringView(text).mid(at, length).compare(kCopyEncoding, Qt::CaseInsensitive) == 0)
        return EncodeWindows1252Xml(text);
    QString declared = text;
    declared.replace(at, length, kCopyEncoding);
    return EncodeWindows1252Xml(declared);
}

namespace
{

// Whether the file at `path` is missing or holds exactly `bytes`.
bool freeOrSame(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (!info.isFile() || info.size() != bytes.size())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

} // namespace

QString FreeCopyName(const QString &folder, const QString &fileName, const QByteArray &bytes)
{
    if (freeOrSame(folder + QLatin1Char('/') + fileName, bytes))
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot) : QString();
    for (int n = 2; n <= kMostCopiesOfOneName; ++n) {
        const QString suffix = QLatin1Char('-') + QString::number(n) + extension;
        // A name may be no longer than the file system allows: the stem gives way to the suffix.
        QString shortened = stem;
        while (!shortened.isEmpty() && QFile::encodeName(shortened + suffix).size() > kLongestFileName)
            shortened.chop(1);
        const QString candidate = shortened + suffix;
        if (freeOrSame(folder + QLatin1Char('/') + candidate, bytes))
            return candidate;
    }
    throw FileError(QStringLiteral("Kan bestand %1 niet aanmaken: er zijn al %2 kopieën met die naam.")
                        .arg(QDir::toNativeSeparators(folder + QLatin1Char('/') + fileName))
                        .arg(kMostCopiesOfOneName));
}

bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text,
                       CopyNaming naming)
{
    if (!controls.checked(Control::BackupsMaken))
        return false;
    const QByteArray bytes = DocumentCopyBytes(text);
    const QString name = naming == CopyNaming::KeepEarlier ? FreeCopyName(folder, fileName, bytes) : fileName;
    const QString path = folder + QLatin1Char('/') + name;
    // Written beside the old copy and renamed over it, so a full disk or a crash never leaves a partial copy.
    const QString failure = SaveWholeFile(path, bytes);
    if (failure.isEmpty())
        return true;
    if (IsDiskReason(failure))
        throw DiskError(FileNotWrittenMessage(path, failure));
    throw FileError(FileNotWrittenMessage(path, failure));
}

QString DecodeDocumentText(const QByteArray &bytes)
{
    // UTF-16: by its byte order mark, or by a first "<" with a zero byte beside it.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArrayView("<\0", 2)))
        return withoutBom(QStringDecoder(QStringConverter::Utf16LE).decode(bytes));
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith(QByteArrayView("\0<", 2)))
        return withoutBom(QStringDecoder(QStringConverter::Utf16BE).decode(bytes));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return withoutBom(QString::fromUtf8(bytes));

    const auto [at, length] = declaredEncodingIn(bytes);
    const QByteArray name = at < 0 ? QByteArray() : bytes.mid(at, length);
    if (isWindows1252Name(name))
        return DecodeWindows1252(bytes);
    if (!name.isEmpty() && !isUtfName(name)) {
        QStringDecoder named(name.constData(), QStringDecoder::Flag::Stateless);
        if (named.isValid())
            return named.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Not UTF-8 whatever it says: copies written before they named their encoding, and editors that keep a
    // declaration they no longer honour.
    return DecodeWindows1252(bytes);
}
