#include "link/DocumentCopies.h"

#include "base/CheckedFileWrite.h"
#include "base/LogDayFiles.h"
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
    const PathKind kind = KindAt(path);
    if (kind == PathKind::Missing)
        return true;
    QFile file;
    QString reason;
    return kind == PathKind::RegularFile && OpenRegularFile(file, path, FileOpening::Read, reason) &&
           file.size() == bytes.size() && file.readAll() == bytes;
}

} // namespace

namespace
{

// The name with "-n" before its extension (n from 2; 1 is the name itself). A name may be no longer than the file
// system allows: the stem gives way to the suffix.
QString numberedName(const QString &fileName, int n)
{
    if (n < 2)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString suffix = QLatin1Char('-') + QString::number(n) + (dot > 0 ? fileName.mid(dot) : QString());
    QString shortened = stem;
    while (!shortened.isEmpty() && QFile::encodeName(shortened + suffix).size() > kLongestFileName)
        shortened.chop(1);
    return shortened + suffix;
}

[[noreturn]] void tooManyCopies(const QString &folder, const QString &fileName)
{
    throw FileError(QStringLiteral("Kan bestand %1 niet aanmaken: er zijn al %2 kopieën met die naam.")
                        .arg(QDir::toNativeSeparators(folder + QLatin1Char('/') + fileName))
                        .arg(kMostCopiesOfOneName));
}

constexpr int kDefaultCopyKeepDays = 90;
const QString kDayFolderPattern = QStringLiteral("yyyy-MM-dd");

// The day's folder under the copy folder, made when missing (and the expired ones removed first). The copy folder
// itself is not made: a copy into a missing one fails as it always did.
QString dayFolder(const Controls &controls, const QString &folder, const QDate &day)
{
    const QString name = day.toString(kDayFolderPattern);
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFileInfo(path).isDir() && QFileInfo(folder).isDir()) {
        PruneCopyFolders(folder, day, CopyKeepDays(controls));
        QDir(folder).mkdir(name);
    }
    return path;
}

} // namespace

QString FreeCopyName(const QString &folder, const QString &fileName, const QByteArray &bytes)
{
    for (int n = 1; n <= kMostCopiesOfOneName; ++n) {
        const QString candidate = numberedName(fileName, n);
        if (freeOrSame(folder + QLatin1Char('/') + candidate, bytes))
            return candidate;
    }
    tooManyCopies(folder, fileName);
}

int CopyKeepDays(const Controls &controls)
{
    bool ok = false;
    const int days = controls.text(Control::BackupsDagen).trimmed().toInt(&ok);
    return ok && days > 0 ? days : kDefaultCopyKeepDays;
}

int PruneCopyFolders(const QString &folder, const QDate &today, int keepDays)
{
    const QDir dir(folder);
    int removed = 0;
    for (const QString &name :
         LogDayFiles::expiredNames(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot), {}, today, keepDays)) {
        if (QDir(dir.filePath(name)).removeRecursively())
            ++removed;
    }
    return removed;
}

bool WriteDayCopy(const Controls &controls, const QString &folder, const QDate &day, const QString &fileName,
                  const QString &text)
{
    if (!controls.checked(Control::BackupsMaken))
        return false;
    return WriteDocumentCopy(controls, dayFolder(controls, folder, day), fileName, text);
}

CopyPair::CopyPair(const Controls &controls, const QString &folder, const QDate &day, const QString &documentName,
                   const QString &replyName)
    : m_controls(controls)
    , m_folder(folder)
    , m_day(day)
    , m_documentName(documentName)
    , m_replyName(replyName)
{
}

bool CopyPair::writeDocument(const QString &text)
{
    if (!m_controls.checked(Control::BackupsMaken))
        return false;
    const QString folder = dayFolder(m_controls, m_folder, m_day);
    const QByteArray bytes = DocumentCopyBytes(text);
    for (int n = 1; n <= kMostCopiesOfOneName; ++n) {
        // A document sent again unchanged after a call that got no answer keeps its copy; the reply that comes at
        // last goes beside it.
        if (freeOrSame(folder + QLatin1Char('/') + numberedName(m_documentName, n), bytes) &&
            !QFileInfo::exists(folder + QLatin1Char('/') + numberedName(m_replyName, n))) {
            m_dayFolder = folder;
            m_documentName = numberedName(m_documentName, n);
            m_replyName = numberedName(m_replyName, n);
            return WriteDocumentCopy(m_controls, folder, m_documentName, text, CopyNaming::ReplaceEarlier);
        }
    }
    tooManyCopies(folder, m_documentName);
}

bool CopyPair::writeReply(const QString &text)
{
    // Without the document's copy the reply's is named on its own.
    if (m_dayFolder.isEmpty())
        return WriteDayCopy(m_controls, m_folder, m_day, m_replyName, text);
    // Its name was free when the document's was chosen.
    return WriteDocumentCopy(m_controls, m_dayFolder, m_replyName, text, CopyNaming::ReplaceEarlier);
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
