#include "update/TemiVerInfo.h"

#include "update/VersionResource.h"

namespace
{

const char *const kLanguages[] = {"0401=Arabic",
                                  "0402=Bulgarian",
                                  "0403=Catalan",
                                  "0404=Traditional Chinese",
                                  "0405=Czech",
                                  "0406=Danish",
                                  "0407=German",
                                  "0408=Greek",
                                  "0409=U.S. English",
                                  "040A=Castilian Spanish",
                                  "040B=Finnish",
                                  "040C=French",
                                  "040D=Hebrew",
                                  "040E=Hungarian",
                                  "040F=Icelandic",
                                  "0410=Italian",
                                  "0411=Japanese",
                                  "0412=Korean",
                                  "0413=Dutch",
                                  "0414=Norwegian - Bokm\u00E5l",
                                  "0415=Polish",
                                  "0416=Brazilian Portuguese",
                                  "0417=Rhaeto-Romanic",
                                  "0418=Romanian",
                                  "0419=Russian",
                                  "041A=Croato-Serbian (Latin)",
                                  "041B=Slovak",
                                  "041C=Albanian",
                                  "041D=Swedish",
                                  "041E=Thai",
                                  "041F=Turkish",
                                  "0420=Urdu",
                                  "0421=Bahasa",
                                  "0804=Simplified Chinese",
                                  "0807=Swiss German",
                                  "0809=U.K. English",
                                  "080A=Mexican Spanish",
                                  "080C=Belgian French",
                                  "0810=Swiss Italian",
                                  "0813=Belgian Dutch",
                                  "0814=Norwegian - Nynorsk",
                                  "0816=Portuguese",
                                  "081A=Serbo-Croatian (Cyrillic)",
                                  "0C0C=Canadian French",
                                  "100C=Swiss French"};

const char *const kCharSets[] = {"0000=7-bit ASCII",
                                 "03A4=Windows, Japan (Shift - JIS X-0208)",
                                 "03B5=Windows, Korea (Shift - KSC 5601)",
                                 "03B6=Windows, Taiwan (GB5)",
                                 "04B0=Unicode",
                                 "04E2=Windows, Latin-2 (Eastern European)",
                                 "04E3=Windows, Cyrillic",
                                 "04E4=Windows, Multilingual",
                                 "04E5=Windows, Greek",
                                 "04E6=Windows, Turkish",
                                 "04E7=Windows, Hebrew",
                                 "04E8=Windows, Arabic"};

const char *const kOsHigh[] = {"0=Unknown", "1=DOS", "2=OS/2 16 bits", "3=OS/2 32 bits", "4=Windows NT"};
const char *const kOsLow[] = {"0= ", "1=Windows 16 bits", "2=PM 16 bits", "3=PM 32 bits", "4=Windows 32 bits"};
const char *const kFileTypes[] = {"0=Unknown", "1=Application", "2=DLL",           "3=Device Driver",
                                  "4=Font",    "5=VxD",         "7=Static Library"};
const char *const kDriverSubtypes[] = {"0=Unknown",     "1=Printer", "2=Keyboard",      "3=Language",
                                       "4=Display",     "5=Mouse",   "6=Network",       "7=System",
                                       "8=Installable", "9=Sound",   "10=Communication"};
const char *const kFontSubtypes[] = {"0=Unknown", "1=Raster", "2=Vector", "3=TrueType"};

const char *const kStringNames[] = {"Comments",     "CompanyName",    "FileDescription", "FileVersion",
                                    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFileName",
                                    "ProductName",  "ProductVersion"};

template <std::size_t N> QStringList table(const char *const (&entries)[N])
{
    QStringList list;
    for (const char *e : entries)
        list.append(QString::fromUtf8(e));
    return list;
}

constexpr quint32 kFlagDebug = 1;
constexpr quint32 kFlagPreRelease = 2;
constexpr quint32 kFlagPatched = 4;
constexpr quint32 kFlagPrivateBuild = 8;
constexpr quint32 kFlagSpecialBuild = 32;

quint32 dword(const QByteArray &b, int index)
{
    const int at = index * 4;
    if (at + 4 > b.size())
        return 0;
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16 |
           quint32(quint8(b[at + 3])) << 24;
}

QString fourPart(quint32 high, quint32 low)
{
    return QStringLiteral("%1.%2.%3.%4").arg(high >> 16).arg(high & 0xFFFF).arg(low >> 16).arg(low & 0xFFFF);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

TemiVerInfo::TemiVerInfo()
    : m_languages(table(kLanguages))
    , m_charSets(table(kCharSets))
    , m_osHigh(table(kOsHigh))
    , m_osLow(table(kOsLow))
    , m_fileTypes(table(kFileTypes))
    , m_driverSubtypes(table(kDriverSubtypes))
    , m_fontSubtypes(table(kFontSubtypes))
{
}

void TemiVerInfo::ClearInfos()
{
    m_lastError = 0;
    m_debug = m_patched = m_preRelease = m_privateBuild = m_specialBuild = false;
    m_infos.clear();
}

QString TemiVerInfo::lookup(const QStringList &list, const QString &code) const
{
    return NameValue(list, code);
}

QString TemiVerInfo::value(const QString &name) const
{
    return NameValue(m_infos, name);
}

void TemiVerInfo::ReadVersionInfo()
{
    ClearInfos();
    const qint64 size = GetFileVersionInfoSize(FileName);
    if (size == 0) {
        m_lastError = 1;
        return;
    }
    if (size > kMaxResourceSize) {
        m_lastError = 2;
        return;
    }
    QByteArray buffer;
    if (!GetFileVersionInfo(FileName, size, buffer)) {
        m_lastError = 3;
        return;
    }

    VersionBlock block;
    if (VerQueryValue(buffer, QStringLiteral("\\"), block)) {
        const QByteArray &fixed = block.value;
        // Fields of the fixed file information, as doublewords: signature, structure version, file version
        // high/low, product version high/low, flags mask, flags, OS, type, subtype, date high/low.
        const quint32 mask = dword(fixed, 6);
        const quint32 flags = dword(fixed, 7) & mask;
        const quint32 os = dword(fixed, 8);
        const quint32 type = dword(fixed, 9);
        const quint32 subtype = dword(fixed, 10);
        m_infos.append(QStringLiteral("InternalFileVersion=") + fourPart(dword(fixed, 2), dword(fixed, 3)));
        m_infos.append(QStringLiteral("InternalProductVersion=") + fourPart(dword(fixed, 4), dword(fixed, 5)));
        m_infos.append(QStringLiteral("OSVersion=") + lookup(m_osHigh, QString::number(os >> 16)) +
                       QStringLiteral(" - ") + lookup(m_osLow, QString::number(os & 0xFFFF)));
        m_infos.append(QStringLiteral("FileType=") + lookup(m_fileTypes, QString::number(type)));
        QString subtypeName;
        if (type == 3)
            subtypeName = lookup(m_driverSubtypes, QString::number(subtype));
        else if (type == 4)
            subtypeName = lookup(m_fontSubtypes, QString::number(subtype));
        m_infos.append(QStringLiteral("FileSubType=") + subtypeName);
        m_debug = flags & kFlagDebug;
        m_patched = flags & kFlagPatched;
        m_preRelease = flags & kFlagPreRelease;
        m_privateBuild = flags & kFlagPrivateBuild;
        m_specialBuild = flags & kFlagSpecialBuild;
        m_infos.append(QStringLiteral("FlagDebug=") + flag(m_debug));
        m_infos.append(QStringLiteral("FlagPatched=") + flag(m_patched));
        m_infos.append(QStringLiteral("FlagPreRelease=") + flag(m_preRelease));
        m_infos.append(QStringLiteral("FlagPrivateBuild=") + flag(m_privateBuild));
        m_infos.append(QStringLiteral("FlagSpecialBuild=") + flag(m_specialBuild));
    }

    if (!VerQueryValue(buffer, QStringLiteral("\\VarFileInfo\\Translation"), block) || block.value.size() < 4)
        return;
    const quint32 pair = dword(block.value, 0);
    const QString key = QStringLiteral("%1%2")
                            .arg(pair & 0xFFFF, 4, 16, QLatin1Char('0'))
                            .arg(pair >> 16, 4, 16, QLatin1Char('0'))
                            .toLower();
    m_infos.append(QStringLiteral("Language=") + lookup(m_languages, key.left(4)));
    m_infos.append(QStringLiteral("CharSet=") + lookup(m_charSets, key.mid(4, 4)));
    auto queryString = [&](const QString &name, QString &text) {
        VersionBlock s;
        if (!VerQueryValue(buffer, QStringLiteral("StringFileInfo\\") + key + QLatin1Char('\\') + name, s))
            return false;
        text = s.text ? s.string()
                      : QString::fromUtf16(reinterpret_cast<const char16_t *>(s.value.constData()), s.value.size() / 2)
                            .section(QChar(0), 0, 0);
        return true;
    };
    for (const char *name : kStringNames) {
        QString text;
        if (queryString(QLatin1String(name), text))
            m_infos.append(QLatin1String(name) + QLatin1Char('=') + text);
    }
    QString text;
    if (m_privateBuild && queryString(QStringLiteral("PrivateBuild"), text))
        m_infos.append(QStringLiteral("PrivateBuildInfos=") + text);
    if (m_specialBuild && queryString(QStringLiteral("SpecialBuild"), text))
        m_infos.append(QStringLiteral("SpecialBuildInfos=") + text);
}

QString NameValue(const QStringList &lines, const QString &name)
{
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}
