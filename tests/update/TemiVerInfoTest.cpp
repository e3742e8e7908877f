#include "update/TemiVerInfo.h"
#include "update/ProgramVersion.h"
#include "update/VersionResource.h"
#include "update/VersionResourceWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

QString fixture(const char *name)
{
    return QStringLiteral(VORANO_TEST_DATA_DIR "/update/") + QLatin1String(name);
}

void put(QByteArray &b, quint64 v, int width)
{
    for (int i = 0; i < width; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// A minimal ELF64 object holding one section with the given name and bytes.
QByteArray elfWithSection(const QByteArray &name, const QByteArray &bytes)
{
    const QByteArray strtab = QByteArray(1, '\0') + name + '\0' + ".shstrtab" + '\0';
    const quint64 dataOffset = 64;
    const quint64 strOffset = dataOffset + bytes.size();
    quint64 shoff = strOffset + strtab.size();
    shoff = (shoff + 7) & ~quint64(7);

    QByteArray elf("\x7F"
                   "ELF",
                   4);
    elf.append(char(2)).append(char(1)).append(char(1));
    elf.append(QByteArray(9, '\0'));
    put(elf, 1, 2);     // relocatable
    put(elf, 62, 2);    // x86-64
    put(elf, 1, 4);     // version
    put(elf, 0, 8);     // entry
    put(elf, 0, 8);     // program headers
    put(elf, shoff, 8); // section headers
    put(elf, 0, 4);
    put(elf, 64, 2);
    put(elf, 0, 2);
    put(elf, 0, 2);
    put(elf, 64, 2);
    put(elf, 3, 2);
    put(elf, 2, 2);
    elf.append(bytes);
    elf.append(strtab);
    elf.append(QByteArray(qsizetype(shoff) - elf.size(), '\0'));
    auto section = [&](quint32 nameAt, quint32 type, quint64 offset, quint64 size) {
        put(elf, nameAt, 4);
        put(elf, type, 4);
        put(elf, 0, 8);
        put(elf, 0, 8);
        put(elf, offset, 8);
        put(elf, size, 8);
        put(elf, 0, 4);
        put(elf, 0, 4);
        put(elf, 1, 8);
        put(elf, 0, 8);
    };
    elf.append(QByteArray(64, '\0'));
    section(1, 1, dataOffset, bytes.size());
    section(quint32(1 + name.size() + 1), 3, strOffset, strtab.size());
    return elf;
}

class TemiVerInfoTest : public ::testing::Test
{
  protected:
    QString write(const char *name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QStringList read(const QString &file, int expectedError = 0)
    {
        m_info.FileName = file;
        m_info.ReadVersionInfo();
        EXPECT_EQ(m_info.LastError(), expectedError) << file.toStdString();
        return m_info.Infos();
    }

    QTemporaryDir m_dir;
    TemiVerInfo m_info;
};

TEST_F(TemiVerInfoTest, ApplicationPeFile)
{
    // The private-build bit is in the flags but not in the mask: no flag, and no line for its string.
    EXPECT_EQ(read(fixture("app.exe")), QStringList({"InternalFileVersion=9.0.10.1",
                                                     "InternalProductVersion=9.0.0.0",
                                                     "OSVersion=Windows NT - Windows 32 bits",
                                                     "FileType=Application",
                                                     "FileSubType=",
                                                     "FlagDebug=1",
                                                     "FlagPatched=0",
                                                     "FlagPreRelease=1",
                                                     "FlagPrivateBuild=0",
                                                     "FlagSpecialBuild=0",
                                                     "Language=Dutch",
                                                     "CharSet=Windows, Multilingual",
                                                     "Comments=Proefbestand",
                                                     "CompanyName=Taxis Vorano",
                                                     "FileDescription=Koppeling",
                                                     "FileVersion=9.0.10.1",
                                                     "InternalName=VoranoOstrel",
                                                     "LegalCopyright=Taxis Vorano",
                                                     "LegalTrademarks=Vorano",
                                                     "OriginalFileName=VoranoOstrel.exe",
                                                     "ProductName=Taxis Vorano Soap",
                                                     "ProductVersion=9.0"}));
    EXPECT_EQ(m_info.value(QStringLiteral("internalfileversion")), QStringLiteral("9.0.10.1"));
}

TEST_F(TemiVerInfoTest, DriverWithEveryFlagAndUnknownTranslation)
{
    EXPECT_EQ(read(fixture("driver.exe")),
              QStringList({"InternalFileVersion=1.2.3.4", "InternalProductVersion=5.6.7.8",
                           "OSVersion=DOS - Windows 16 bits", "FileType=Device Driver", "FileSubType=Communication",
                           "FlagDebug=1", "FlagPatched=1", "FlagPreRelease=1", "FlagPrivateBuild=1",
                           "FlagSpecialBuild=1", "Language=", "CharSet=", "CompanyName=Werkplaats",
                           "PrivateBuildInfos=eigen bouw", "SpecialBuildInfos=speciale bouw"}));
}

TEST_F(TemiVerInfoTest, FontWithoutTranslationStopsAfterTheFlags)
{
    // The mask is 0, so no flag counts although every bit is set in the flags.
    EXPECT_EQ(read(fixture("font.exe")),
              QStringList({"InternalFileVersion=2.0.0.0", "InternalProductVersion=2.0.0.0", "OSVersion=Unknown -  ",
                           "FileType=Font", "FileSubType=TrueType", "FlagDebug=0", "FlagPatched=0", "FlagPreRelease=0",
                           "FlagPrivateBuild=0", "FlagSpecialBuild=0"}));
}

TEST_F(TemiVerInfoTest, ResourceWithoutFixedInformationStillGivesTheStrings)
{
    VersionResourceFields f;
    f.withFixedInfo = false;
    f.language = 0x0409;
    f.codePage = 0x04B0;
    f.strings = {{QStringLiteral("ProductName"), QStringLiteral("Zonder vaste gegevens")}};
    EXPECT_EQ(read(write("nofixed", elfWithSection(kVersionSectionName, WriteVersionResource(f)))),
              QStringList({"Language=U.S. English", "CharSet=Unicode", "ProductName=Zonder vaste gegevens"}));
}

TEST_F(TemiVerInfoTest, TranslationWithoutStringTable)
{
    VersionResourceFields f;
    f.fileOS = 0x00000004;
    f.fileType = 7;
    f.withStrings = false;
    const QStringList infos = read(write("nostrings", elfWithSection(kVersionSectionName, WriteVersionResource(f))));
    EXPECT_EQ(infos.mid(2, 3),
              QStringList({"OSVersion=Unknown - Windows 32 bits", "FileType=Static Library", "FileSubType="}));
    EXPECT_EQ(infos.mid(10), QStringList({"Language=Dutch", "CharSet=Windows, Multilingual"}));
}

TEST_F(TemiVerInfoTest, EarlyFailuresLeaveInfosEmpty)
{
    const QByteArray resource = WriteVersionResource(VersionResourceFields{});
    const struct {
        QString file;
        int error;
    } cases[] = {
        {QString(), 1},
        {m_dir.filePath(QStringLiteral("missing.exe")), 1},
        {fixture("noversion.exe"), 1},
        {fixture("app.rc"), 1},
        {write("othersection", elfWithSection(".rodata", resource)), 1},
        {write("emptysection", elfWithSection(kVersionSectionName, {})), 1},
        {fixture("large.exe"), 2},
        {write("large", elfWithSection(kVersionSectionName, QByteArray(0xFFF7, '\0'))), 2},
        {fixture("garbage.exe"), 3},
        {write("garbage", elfWithSection(kVersionSectionName, QByteArray(40, 'x'))), 3},
    };
    for (const auto &c : cases) {
        read(fixture("app.exe")); // a second read must not keep the lines of the first
        EXPECT_TRUE(read(c.file, c.error).isEmpty()) << c.file.toStdString();
        EXPECT_EQ(m_info.value(QStringLiteral("InternalFileVersion")), QString());
    }
    m_info.ClearInfos();
    EXPECT_EQ(m_info.LastError(), 0);
}

TEST_F(TemiVerInfoTest, BlockQueryIgnoresCaseAndTheLeadingBackslash)
{
    const QString file = fixture("app.exe");
    QByteArray buffer;
    ASSERT_TRUE(GetFileVersionInfo(file, GetFileVersionInfoSize(file), buffer));
    VersionBlock block;
    for (const char *path : {"\\StringFileInfo\\041304E4\\CompanyName", "stringfileinfo\\041304e4\\COMPANYNAME",
                             "\\\\StringFileInfo\\041304e4\\companyname"}) {
        ASSERT_TRUE(VerQueryValue(buffer, QLatin1String(path), block)) << path;
        EXPECT_TRUE(block.text);
        EXPECT_EQ(block.string(), QStringLiteral("Taxis Vorano"));
    }
    ASSERT_TRUE(VerQueryValue(buffer, QStringLiteral("varfileinfo\\translation"), block));
    EXPECT_EQ(block.value, QByteArray("\x13\x04\xE4\x04", 4));
    ASSERT_TRUE(VerQueryValue(buffer, QStringLiteral("\\"), block));
    EXPECT_EQ(block.value.size(), 52);
    for (const char *path : {"\\StringFileInfo\\040904B0\\CompanyName", "\\StringFileInfo\\041304E4\\Onbekend",
                             "\\VarFileInfo\\Translation\\Meer", "\\Onbekend"})
        EXPECT_FALSE(VerQueryValue(buffer, QLatin1String(path), block)) << path;
}

TEST_F(TemiVerInfoTest, OwnProgramCarriesTheProjectVersion)
{
    // This test binary links the same generated section as the program; the built program is read as well.
    for (const QString &file : {QCoreApplication::applicationFilePath(), QStringLiteral(VORANO_PROGRAM_FILE)}) {
        const QStringList infos = read(file);
        EXPECT_EQ(NameValue(infos, QStringLiteral("InternalFileVersion")), QStringLiteral(VORANO_PROJECT_VERSION));
        EXPECT_EQ(NameValue(infos, QStringLiteral("FileType")), QStringLiteral("Application"));
        EXPECT_EQ(NameValue(infos, QStringLiteral("Language")), QStringLiteral("Dutch"));
        EXPECT_EQ(NameValue(infos, QStringLiteral("CharSet")), QStringLiteral("Windows, Multilingual"));
        EXPECT_EQ(NameValue(infos, QStringLiteral("FileDescription")),
                  QStringLiteral("Taxis Vorano Soap Cli\u00EBnt voor Ostrel"));
    }
    EXPECT_EQ(ProgramInternalFileVersion(), QStringLiteral(VORANO_PROJECT_VERSION));
}

} // namespace
