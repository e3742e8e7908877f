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
