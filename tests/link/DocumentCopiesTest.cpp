#include "link/DocumentCopies.h"
#include "base/VoranoError.h"
#include "settings/MemoryControls.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace
{

// The text content of a document as an XML reader sees it (references resolved, CDATA unwrapped).
QString xmlText(const QString &document)
{
    QXmlStreamReader reader(document);
    QString text;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isCharacters())
            text += reader.text();
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return text;
}

QByteArray utf16(const QString &text, bool littleEndian, bool bom)
{
    QByteArray out;
    if (bom)
        out += littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xFF);
        const char high = char(c.unicode() >> 8);
        out += littleEndian ? QByteArray{&low, 1} + QByteArray{&high, 1} : QByteArray{&high, 1} + QByteArray{&low, 1};
    }
    return out;
}

} // namespace

TEST(DocumentCopies, ADeclarationNamesTheEncodingOfTheCopy)
{
    const struct {
        const char *what;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"declared UTF-8", QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><kwp>€</kwp>\r\n"),
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><kwp>\x80</kwp>\r\n"},
        {"single quotes and blanks", QStringLiteral("<?xml version='1.0' encoding = 'utf-8' ?><a/>"),
         "<?xml version='1.0' encoding = 'windows-1252' ?><a/>"},
        {"already right", QStringLiteral("<?xml version=\"1.0\" encoding=\"Windows-1252\"?><a/>"),
         "<?xml version=\"1.0\" encoding=\"Windows-1252\"?><a/>"},
        {"no encoding named", QStringLiteral("<?xml version=\"1.0\"?><a>Ł</a>"),
         "<?xml version=\"1.0\"?><a>&#321;</a>"},
        {"no declaration", QStringLiteral("<trip><id>1</id></trip>\r\n"), "<trip><id>1</id></trip>\r\n"},
        {"encoding only in the content", QStringLiteral("<a>encoding=\"x\"?></a>"), "<a>encoding=\"x\"?></a>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DocumentCopyBytes(c.text), c.bytes) << c.what;
}

TEST(DocumentCopies, SavedDocumentsAreReadInTheirEncoding)
{
    const QString text = QStringLiteral("<kwp><naam>€ – “Łukasz” ‘é’</naam></kwp>");
    const struct {
        const char *what;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"UTF-8", text.toUtf8(), text},
        {"UTF-8 with byte order mark", "\xEF\xBB\xBF" + text.toUtf8(), text},
        {"UTF-16 little endian with byte order mark", utf16(text, true, true), text},
        {"UTF-16 big endian with byte order mark", utf16(text, false, true), text},
        {"UTF-16 little endian without byte order mark", utf16(text, true, false), text},
        {"Windows-1252 without declaration", "<a>\x80 \x96 \x93x\x94 \xE9</a>", QStringLiteral("<a>€ – “x” é</a>")},
        {"declared iso-8859-1, read as Windows-1252", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\x80\xE9</a>",
         QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>€é</a>")},
        {"declared windows-1252 although valid UTF-8",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xC3\xA9</a>",
         QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>Ã©</a>")},
        {"declared iso-8859-15", "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><a>\xA4</a>",
         QStringLiteral("<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><a>€</a>")},
        {"declared UTF-8 but single-byte", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>M\xFCller</a>",
         QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>Müller</a>")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DecodeDocumentText(c.bytes), c.expected) << c.what;
}

// A copy read back is the same document: every character comes back, the ones outside the code page as
// references, also inside CDATA.
TEST(DocumentCopies, ACopyReadBackIsTheSameDocument)
{
    const QString reply = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kwp><naam>€ – “Łukasz” ‘é’ \U0001F695 &amp; Ω</naam>"
        "<opmerking><![CDATA[Łódź <b>]]></opmerking></kwp>\r\n");
    const QString back = DecodeDocumentText(DocumentCopyBytes(reply));
    EXPECT_TRUE(back.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"windows-1252\"?>")))
        << back.toStdString();
    EXPECT_TRUE(back.contains(QStringLiteral("€ – “&#321;ukasz” ‘é’ &#128661; &amp; &#937;"))) << back.toStdString();
    EXPECT_EQ(xmlText(back), xmlText(reply));
    EXPECT_TRUE(xmlText(back).contains(QStringLiteral("€ – “Łukasz” ‘é’ \U0001F695 & ΩŁódź <b>")));
}

namespace
{

class CopyFolder : public testing::Test
{
  protected:
    QTemporaryDir dir;
    MemoryControls controls;

    void SetUp() override { controls.setChecked(Control::BackupsMaken, true); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QByteArray read(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

// Names resolve only to the second (and the autumn's repeated hour gives an hour of names twice): a copy whose
// name is taken gets a number, and no copy replaces another. A reference list's copy stands for the latest list.
TEST_F(CopyFolder, ACopyWhoseNameIsTakenGetsANumber)
{
    const QString name = QStringLiteral("OstrelResult101007595912.xml");
    for (const char *reply : {"een", "twee", "drie"})
        ASSERT_TRUE(WriteDocumentCopy(controls, dir.path(), name, QLatin1String(reply)));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("OstrelResult101007595912-2.xml"),
                                    QStringLiteral("OstrelResult101007595912-3.xml"), name}));
    EXPECT_EQ(read(name), QByteArray("een"));
    EXPECT_EQ(read(QStringLiteral("OstrelResult101007595912-3.xml")), QByteArray("drie"));

    // A document sent again unchanged (after a failed mark, or during an outage) has its copy already.
    ASSERT_TRUE(WriteDocumentCopy(controls, dir.path(), name, QStringLiteral("twee")));
    EXPECT_EQ(files().size(), 3);

    const QString list = QStringLiteral("BasicProducts.xml");
    for (const char *reply : {"oud", "nieuw"})
        WriteDocumentCopy(controls, dir.path(), list, QLatin1String(reply), CopyNaming::ReplaceEarlier);
    EXPECT_EQ(read(list), QByteArray("nieuw"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("BasicProducts-2.xml"))));
}

TEST_F(CopyFolder, ANumberedNameStillFitsTheLongestFileName)
{
    const QString name = QString(251, QLatin1Char('r')) + QLatin1String(".xml"); // 255 bytes
    ASSERT_TRUE(WriteDocumentCopy(controls, dir.path(), name, QStringLiteral("een")));
    ASSERT_TRUE(WriteDocumentCopy(controls, dir.path(), name, QStringLiteral("twee")));
    const QString numbered = QString(249, QLatin1Char('r')) + QLatin1String("-2.xml");
    EXPECT_EQ(read(numbered), QByteArray("twee"));
    EXPECT_EQ(FreeCopyName(dir.path(), QStringLiteral("nieuw.xml"), "x"), QStringLiteral("nieuw.xml"));
}

// On a full disk (a file-size limit here) a copy is not written, counts as not written, and leaves no empty or
// short file; the copies written before are untouched.
TEST_F(CopyFolder, ACopyThatDoesNotFitFailsAndLeavesNoFile)
{
    const QString name = QStringLiteral("RcvdStatus_4711_0.xml");
    ASSERT_TRUE(WriteDocumentCopy(controls, dir.path(), name, QStringLiteral("eerder")));
    for (const bool keep : {true, false}) {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.ok());
        EXPECT_THROW(WriteDocumentCopy(controls, dir.path(), name, QString(2000, QLatin1Char('x')),
                                       keep ? CopyNaming::KeepEarlier : CopyNaming::ReplaceEarlier),
                     FileError);
    }
    EXPECT_EQ(files(), QStringList{name});
    EXPECT_EQ(read(name), QByteArray("eerder"));
}

namespace
{

// The day folders under a copy folder, and whatever else it holds.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// A reply's copy carries the same name part as the copy of the document it answers, also when an earlier reply
// had the same bytes or a reply's name is taken without its document's. A document sent again unchanged after a
// call without an answer keeps its copy, and the reply goes beside it.
TEST_F(CopyFolder, AReplyCopyStandsBesideTheCopyOfItsDocument)
{
    const QDate day(2026, 12, 11);
    const QString inDay = dir.filePath(QStringLiteral("2026-12-11"));
    struct Case {
        const char *what;
        QStringList before;
        QString document;
        QString reply;
        int added = 2;
    };
    const Case cases[] = {
        {"first", {}, QStringLiteral("SendStatus_1_1.xml"), QStringLiteral("RcvdStatus_1_1.xml")},
        {"again, with the same reply",
         {QStringLiteral("SendStatus_1_1.xml"), QStringLiteral("RcvdStatus_1_1.xml")},
         QStringLiteral("SendStatus_1_1-2.xml"),
         QStringLiteral("RcvdStatus_1_1-2.xml")},
        {"a reply copy left without its document",
         {QStringLiteral("SendStatus_1_1.xml"), QStringLiteral("RcvdStatus_1_1.xml"),
          QStringLiteral("RcvdStatus_1_1-2.xml")},
         QStringLiteral("SendStatus_1_1-3.xml"),
         QStringLiteral("RcvdStatus_1_1-3.xml")},
        {"sent again after no answer",
         {QStringLiteral("SendStatus_1_1.xml")},
         QStringLiteral("SendStatus_1_1.xml"),
         QStringLiteral("RcvdStatus_1_1.xml"),
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(inDay).removeRecursively();
        QDir().mkpath(inDay);
        for (const QString &name : c.before) {
            QFile f(inDay + QLatin1Char('/') + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(name.startsWith(QLatin1String("Send")) ? "<document/>" : "<status>200</status>");
        }
        CopyPair pair(controls, dir.path(), day, QStringLiteral("SendStatus_1_1.xml"),
                      QStringLiteral("RcvdStatus_1_1.xml"));
        ASSERT_TRUE(pair.writeDocument(QStringLiteral("<document/>")));
        ASSERT_TRUE(pair.writeReply(QStringLiteral("<status>200</status>")));
        QFile document(inDay + QLatin1Char('/') + c.document);
        ASSERT_TRUE(document.open(QIODevice::ReadOnly));
        EXPECT_EQ(document.readAll(), QByteArray("<document/>"));
        QFile reply(inDay + QLatin1Char('/') + c.reply);
        ASSERT_TRUE(reply.open(QIODevice::ReadOnly));
        EXPECT_EQ(reply.readAll(), QByteArray("<status>200</status>"));
        EXPECT_EQ(QDir(inDay).entryList(QDir::Files).size(), c.before.size() + c.added);
    }
}

// Copies go into a folder per day; the first copy of a day removes the day folders that have expired, counted back
// from today, or from the newest day folder when today is further past it than the days kept: a clock a year
// ahead or behind removes nothing a right clock would keep. Other files and folders stay.
TEST_F(CopyFolder, DayFoldersExpireByTodaysDateOnly)
{
    const QStringList before{QStringLiteral("2026-08-01"), QStringLiteral("2026-09-12"),
                             QStringLiteral("2026-09-13"), QStringLiteral("2026-12-10"),
                             QStringLiteral("2027-01-05"), QStringLiteral("BasicProducts.xml"),
                             QStringLiteral("oud")};
    struct Case {
        const char *what;
        QDate today;
        QString keepDays;
        QStringList gone;
    };
    const Case cases[] = {
        // 2026-09-12 is 90 days back: the last day kept.
        {"right clock", QDate(2026, 12, 11), QStringLiteral("90"), {QStringLiteral("2026-08-01")}},
        {"not a number: 90 days", QDate(2026, 12, 11), QStringLiteral("x"), {QStringLiteral("2026-08-01")}},
        {"30 days",
         QDate(2026, 12, 11),
         QStringLiteral("30"),
         {QStringLiteral("2026-08-01"), QStringLiteral("2026-09-12"), QStringLiteral("2026-09-13")}},
        // The newest folder (2027-01-05, from a clock that ran ahead once) stands for today.
        {"a year ahead",
         QDate(2027, 12, 11),
         QStringLiteral("90"),
         {QStringLiteral("2026-08-01"), QStringLiteral("2026-09-12"), QStringLiteral("2026-09-13")}},
        {"a year behind", QDate(2025, 12, 11), QStringLiteral("90"), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString &name : entries(dir.path()))
            QFileInfo(dir.filePath(name)).isDir() ? void(QDir(dir.filePath(name)).removeRecursively())
                                                  : void(QFile::remove(dir.filePath(name)));
        for (const QString &name : before) {
            if (name.endsWith(QLatin1String(".xml"))) {
                QFile f(dir.filePath(name));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            } else {
                ASSERT_TRUE(QDir().mkpath(dir.filePath(name + QStringLiteral("/sub"))));
            }
        }
        controls.setText(Control::BackupsDagen, c.keepDays);
        ASSERT_TRUE(
            WriteDayCopy(controls, dir.path(), c.today, QStringLiteral("OstrelResult.xml"), QStringLiteral("<kwp/>")));
        QStringList expected = before;
        for (const QString &name : c.gone)
            expected.removeAll(name);
        expected << c.today.toString(QStringLiteral("yyyy-MM-dd"));
        expected.removeDuplicates();
        expected.sort();
        EXPECT_EQ(entries(dir.path()), expected);
        EXPECT_TRUE(QFile::exists(
            dir.filePath(c.today.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("/OstrelResult.xml"))));
    }
}
