#include "settings/SettingsStore.h"
#include "base/VoranoError.h"
#include "settings/MemoryControls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class FakeWindow : public PlacementTarget
{
  public:
    WindowPlacement current{0, -1, -1, -1, -1, 10, 20, 810, 620};
    int ppi = 96;
    int applied = 0;
    WindowPlacement placement() const override { return current; }
    void setPlacement(const WindowPlacement &p) override
    {
        current = p;
        ++applied;
    }
    int pixelsPerInch() const override { return ppi; }
};

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

const char *const kDefaultMain = R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <Flags>0</Flags>
    <PixelsPerInch>96</PixelsPerInch>
    <MinMaxPos>-1,-1,-1,-1</MinMaxPos>
    <NormPos>10,20,810,620</NormPos>
    <xBezet_Checked>FALSE</xBezet_Checked>
    <xLoginDatabase_Text/>
    <xLoginServer_Text/>
    <xLoginSQL_Text/>
    <xPaswoord_Text/>
    <xPaswoordSQL_Text/>
    <xInlognaam_Text/>
    <xAuto_Checked>FALSE</xAuto_Checked>
    <xBevestigen_Checked>FALSE</xBevestigen_Checked>
    <xInterval_Text>1</xInterval_Text>
    <xVerwerken_Checked>FALSE</xVerwerken_Checked>
    <BackupsMaken_Checked>FALSE</BackupsMaken_Checked>
    <xStandaardTarief_Text>0</xStandaardTarief_Text>
    <xSV_Text>P</xSV_Text>
    <xDebiteur_Text>0</xDebiteur_Text>
    <xBedrijf_Text>1</xBedrijf_Text>
    <StandaardFilter_Text>P</StandaardFilter_Text>
    <Gebruiker_Text>0</Gebruiker_Text>
    <xRC_Checked>FALSE</xRC_Checked>
    <SoortWagen_Checked>FALSE</SoortWagen_Checked>
    <Ritkleur_Text/>
    <xSoapServer_Text>https://ritplanning.example.org/_external/external.cfc</xSoapServer_Text>
    <Eigenaar_Text>007</Eigenaar_Text>
    <chkExtern_Checked>TRUE</chkExtern_Checked>
    <Aankomst_Text>G</Aankomst_Text>
    <xLoginDriver_Text>FreeTDS</xLoginDriver_Text>
    <xCertNegeren_Checked>FALSE</xCertNegeren_Checked>
    <xSqlCertNegeren_Checked>FALSE</xSqlCertNegeren_Checked>
    <xSqlOnversleuteld_Checked>FALSE</xSqlOnversleuteld_Checked>
    <xStoringMinuten_Text>30</xStoringMinuten_Text>
    <GebruikteEigenaren_Lines>
      <Count>0</Count>
    </GebruikteEigenaren_Lines>
    <BackupsDagen_Text>90</BackupsDagen_Text>
  </Hoofdscherm>
</Configuration>
)";

// A stored main file with one setting; the rest of the document as given.
QByteArray mainFile(const QString &body)
{
    return crlf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Configuration>\n  <Hoofdscherm>\n") +
           body.toLatin1() + crlf("  </Hoofdscherm>\n</Configuration>\n");
}

} // namespace

TEST(SettingsStore, FirstSaveWritesEveryElementInOrder)
{
    MemoryControls controls;
    FakeWindow window;
    SettingsStore main(QStringLiteral("unused.xml"), SettingsFile::Main);
    main.save(controls, &window);
    EXPECT_EQ(main.serialize(), crlf(kDefaultMain));

    SettingsStore base(QStringLiteral("unused.xml"), SettingsFile::Base);
    controls.setLines(Control::BasicProducts, {QStringLiteral("1=Taxi"), QString()});
    base.save(controls);
    EXPECT_EQ(base.serialize(), crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <BasicAccessibilityEquipments_Lines>
      <Count>0</Count>
    </BasicAccessibilityEquipments_Lines>
    <BasicIndications_Lines>
      <Count>0</Count>
    </BasicIndications_Lines>
    <BasicProducts_Lines>
      <Item0>1=Taxi</Item0>
      <Item1/>
      <Count>2</Count>
    </BasicProducts_Lines>
    <BasicVehicleTypes_Lines>
      <Count>0</Count>
    </BasicVehicleTypes_Lines>
  </Hoofdscherm>
</Configuration>
)"));
}

TEST(SettingsStore, TextValuesRoundTrip)
{
    struct Case {
        QString value;
        QByteArray written; // the element as it stands in the file
    };
    const Case cases[] = {
        {QStringLiteral("a&b<c>\"d'e"), "<xPaswoord_Text>a&amp;b&lt;c&gt;&quot;d&apos;e</xPaswoord_Text>"},
        {QString(), "<xPaswoord_Text/>"},
        {QStringLiteral("  "), "<xPaswoord_Text>  </xPaswoord_Text>"},
        {QStringLiteral("caf\u00e9"), "<xPaswoord_Text>caf\xe9</xPaswoord_Text>"},
        {QStringLiteral("\u20ac5"), "<xPaswoord_Text>&#8364;5</xPaswoord_Text>"},
    };
    for (const Case &c : cases) {
        MemoryControls controls;
        controls.setText(Control::xPaswoord, c.value);
        SettingsStore written(QStringLiteral("unused.xml"), SettingsFile::Main);
        written.save(controls);
        const QByteArray bytes = written.serialize();
        EXPECT_TRUE(bytes.contains("    " + c.written + "\r\n")) << bytes.constData();

        MemoryControls back;
        back.setText(Control::xPaswoord, QStringLiteral("other"));
        SettingsStore read(QStringLiteral("unused.xml"), SettingsFile::Main);
        read.loadFrom(bytes);
        ASSERT_TRUE(read.apply(back));
        EXPECT_EQ(back.text(Control::xPaswoord), c.value);
    }
}

TEST(SettingsStore, ShorterMemoRemovesTheItemsBeyondItsCount)
{
    QString eight = QStringLiteral("    <BasicProducts_Lines>\r\n");
    for (int i = 0; i < 8; ++i)
        eight += QStringLiteral("      <Item%1>p%1</Item%1>\r\n").arg(i);
    eight += QStringLiteral("      <Count>8</Count>\r\n    </BasicProducts_Lines>\r\n");
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Base);
    store.loadFrom(mainFile(eight));

    MemoryControls controls;
    ASSERT_TRUE(store.apply(controls));
    QStringList lines = controls.lines(Control::BasicProducts);
    ASSERT_EQ(lines.size(), 8);
    lines = lines.mid(0, 5);
    lines[4] = QStringLiteral("nieuw");
    controls.setLines(Control::BasicProducts, lines);
    store.save(controls);
    EXPECT_TRUE(store.serialize().contains(crlf(R"(    <BasicProducts_Lines>
      <Item0>p0</Item0>
      <Item1>p1</Item1>
      <Item2>p2</Item2>
      <Item3>p3</Item3>
      <Item4>nieuw</Item4>
      <Count>5</Count>
    </BasicProducts_Lines>
)"))) << store.serialize().constData();
}

TEST(SettingsStore, MemoReadsItemsUpToCountAndMissingItemsAsEmptyLines)
{
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Base);
    store.loadFrom(mainFile(QStringLiteral("<BasicIndications_Lines><Item0>a</Item0><Item2>c</Item2><Item3>d</Item3>"
                                           "<Count>3</Count></BasicIndications_Lines>"
                                           "<BasicProducts_Lines><Item0>x</Item0></BasicProducts_Lines>")));
    MemoryControls controls;
    controls.setLines(Control::BasicProducts, {QStringLiteral("kept")});
    ASSERT_TRUE(store.apply(controls));
    EXPECT_EQ(controls.lines(Control::BasicIndications),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("c")}));
    EXPECT_EQ(controls.lines(Control::BasicProducts), QStringList{QStringLiteral("kept")}); // no Count
}

TEST(SettingsStore, CheckBoxWords)
{
    struct Case {
        const char *text;
        bool startsChecked;
        bool expected;
    };
    const Case cases[] = {
        {"TRUE", false, true},  {"true", false, true}, {"yes", false, true},      {"Y", false, true},
        {"FALSE", true, false}, {"no", true, false},   {"n", true, false},        {"0", true, false},
        {"1", false, true},     {"-7", false, true},   {"misschien", true, true}, {"misschien", false, false},
        {"", true, true},
    };
    for (const Case &c : cases) {
        SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
        store.loadFrom(mainFile(QStringLiteral("<xAuto_Checked>%1</xAuto_Checked>").arg(QLatin1String(c.text))));
        MemoryControls controls;
        controls.setChecked(Control::xAuto, c.startsChecked);
        ASSERT_TRUE(store.apply(controls));
        EXPECT_EQ(controls.checked(Control::xAuto), c.expected) << c.text;
    }
    MemoryControls on;
    on.setChecked(Control::xAuto, true);
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
    store.save(on);
    EXPECT_TRUE(store.serialize().contains("<xAuto_Checked>TRUE</xAuto_Checked>\r\n"));
}

TEST(SettingsStore, UnknownElementsAndCommentsStayWhereTheyAre)
{
    const QByteArray stored = crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <xBezet_Checked>FALSE</xBezet_Checked>
    <!-- door de beheerder -->
    <Onbekend soort="a&amp;b">
      <Deel>1</Deel>
    </Onbekend>
    <xInlognaam_Text>oud</xInlognaam_Text>
    <Leeg/>
  </Hoofdscherm>
  <AnderScherm>
    <Waarde>x</Waarde>
  </AnderScherm>
</Configuration>
)");
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
    store.loadFrom(stored);
    MemoryControls controls;
    ASSERT_TRUE(store.apply(controls));
    EXPECT_EQ(controls.text(Control::xInlognaam), QLatin1String("oud"));
    controls.setText(Control::xInlognaam, QStringLiteral("nieuw"));
    controls.setChecked(Control::xBezet, true);
    store.save(controls);
    const QByteArray out = store.serialize();
    EXPECT_TRUE(out.startsWith(crlf(R"(<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <FormVersion>0</FormVersion>
    <xBezet_Checked>TRUE</xBezet_Checked>
    <!-- door de beheerder -->
    <Onbekend soort="a&amp;b">
      <Deel>1</Deel>
    </Onbekend>
    <xInlognaam_Text>nieuw</xInlognaam_Text>
    <Leeg/>
    <xLoginDatabase_Text/>
)"))) << out.constData();
    EXPECT_TRUE(out.endsWith(crlf(R"(    <xCertNegeren_Checked>FALSE</xCertNegeren_Checked>
    <xSqlCertNegeren_Checked>FALSE</xSqlCertNegeren_Checked>
    <xSqlOnversleuteld_Checked>FALSE</xSqlOnversleuteld_Checked>
    <xStoringMinuten_Text>30</xStoringMinuten_Text>
    <GebruikteEigenaren_Lines>
      <Count>0</Count>
    </GebruikteEigenaren_Lines>
    <BackupsDagen_Text>90</BackupsDagen_Text>
  </Hoofdscherm>
  <AnderScherm>
    <Waarde>x</Waarde>
  </AnderScherm>
</Configuration>
)"))) << out.constData();
}

TEST(SettingsStore, FormVersionDecidesWhetherTheStoreIsApplied)
{
    struct Case {
        const char *version;
        bool applied;
    };
    const Case cases[] = {{"-1", false}, {"abc", false}, {"", false}, {"0", true}, {"3", true}, {nullptr, true}};
    for (const Case &c : cases) {
        QString body = QStringLiteral("<PixelsPerInch>96</PixelsPerInch><NormPos>0,0,300,200</NormPos>"
                                      "<Eigenaar_Text>123</Eigenaar_Text>");
        if (c.version)
            body.prepend(QStringLiteral("<FormVersion>%1</FormVersion>").arg(QLatin1String(c.version)));
        SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
        store.loadFrom(mainFile(body));
        MemoryControls controls;
        FakeWindow window;
        EXPECT_EQ(store.apply(controls, &window), c.applied) << (c.version ? c.version : "(none)");
        EXPECT_EQ(controls.text(Control::Eigenaar), QLatin1String(c.applied ? "123" : "007"));
        EXPECT_EQ(window.applied, c.applied ? 1 : 0);
    }
}

TEST(SettingsStore, WindowSizeOnlyOnTheSamePixelDensity)
{
    struct Case {
        const char *body;
        int ppi;
        bool applied;
    };
    const Case cases[] = {
        {"<PixelsPerInch>96</PixelsPerInch><MinMaxPos>-1,-1,5,6</MinMaxPos><NormPos>100,50,400,250</NormPos>", 96,
         true},
        {"<PixelsPerInch>120</PixelsPerInch><MinMaxPos>-1,-1,5,6</MinMaxPos><NormPos>100,50,400,250</NormPos>", 96,
         false},
        {"<MinMaxPos>-1,-1,5,6</MinMaxPos><NormPos>100,50,400,250</NormPos>", 96, false},
        {"<PixelsPerInch>96</PixelsPerInch><Flags>2</Flags>", 96, false},
    };
    for (const Case &c : cases) {
        SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
        store.loadFrom(mainFile(QLatin1String(c.body)));
        MemoryControls controls;
        FakeWindow window;
        window.ppi = c.ppi;
        store.apply(controls, &window);
        EXPECT_EQ(window.applied, c.applied ? 1 : 0) << c.body;
        if (c.applied) {
            // Width and height from NormPos; left and top stay where the window is.
            EXPECT_EQ(window.current.left, 10);
            EXPECT_EQ(window.current.top, 20);
            EXPECT_EQ(window.current.right, 310);
            EXPECT_EQ(window.current.bottom, 220);
            EXPECT_EQ(window.current.maxX, 5);
            EXPECT_EQ(window.current.maxY, 6);
        }
    }
}

TEST(SettingsStore, DeclarationOfTheFileIsKept)
{
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Main);
    store.loadFrom(QByteArray("<?xml version='1.0'?><Configuration><Hoofdscherm/></Configuration>"));
    MemoryControls controls;
    controls.setText(Control::xInlognaam, QStringLiteral("Jos\u00e9"));
    store.save(controls);
    const QByteArray out = store.serialize();
    EXPECT_TRUE(out.startsWith("<?xml version='1.0'?>\r\n<Configuration>\r\n"));
    // Without an encoding name the file is UTF-8, so the text is written as UTF-8.
    EXPECT_TRUE(out.contains("<xInlognaam_Text>Jos\xc3\xa9</xInlognaam_Text>"));
    SettingsStore again(QStringLiteral("unused.xml"), SettingsFile::Main);
    again.loadFrom(out);
    MemoryControls back;
    again.apply(back);
    EXPECT_EQ(back.text(Control::xInlognaam), QStringLiteral("Jos\u00e9"));
}

TEST(SettingsStore, FileThatIsNotWellFormedIsRefusedAndKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(SettingsStore::kMainFileName));
    const QByteArray broken = crlf("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Configuration>\n"
                                   "  <Hoofdscherm>\n    <xSV_Text>P</xSV>\n");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(broken);
    }
    SettingsStore store(path, SettingsFile::Main);
    try {
        store.load();
        FAIL() << "a file that is not well-formed was loaded";
    } catch (const XmlParseError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("regel 4"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QLatin1String("VoranotoOstrel.xml"))) << e.message().toStdString();
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), broken);
}

TEST(SettingsStore, MissingFileStartsEmptyAndIsCreatedOnWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(SettingsStore::kMainFileName));
    SettingsStore store(path, SettingsFile::Main);
    store.load();
    MemoryControls controls;
    EXPECT_TRUE(store.apply(controls));
    FakeWindow window;
    store.save(controls, &window);
    ASSERT_TRUE(store.write());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), crlf(kDefaultMain));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QLatin1String(SettingsStore::kMainFileName)});
}

TEST(SettingsStore, ReadOnlyFileIsNotWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(SettingsStore::kMainFileName));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("vorige inhoud");
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    SettingsStore store(path, SettingsFile::Main);
    MemoryControls controls;
    store.save(controls);
    EXPECT_FALSE(store.write());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("vorige inhoud"));
}

TEST(SettingsStore, FailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("alleen-lezen"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QLatin1String("/VoranotoOstrel.xml");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("vorige inhoud");
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(folder + QLatin1String("/probe"));
    const bool folderStillWritable = probe.open(QIODevice::WriteOnly);
    probe.remove();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (folderStillWritable)
        GTEST_SKIP() << "running with rights that write into a read-only folder (root): no write failure to provoke";

    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    SettingsStore store(path, SettingsFile::Main);
    MemoryControls controls;
    store.save(controls);
    testing::internal::CaptureStderr();
    const bool written = store.write();
    const std::string err = testing::internal::GetCapturedStderr();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(written);
    EXPECT_NE(err.find("Instellingen niet opgeslagen"), std::string::npos) << err;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("vorige inhoud"));
}

TEST(SettingsStore, FailedWriteIsReportedOnStderr)
{
    // A folder where the file should be: no write can replace it, whatever the rights of the test.
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(SettingsStore::kMainFileName));
    ASSERT_TRUE(QDir().mkdir(path));
    SettingsStore store(path, SettingsFile::Main);
    MemoryControls controls;
    store.save(controls);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(store.write());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Instellingen niet opgeslagen in"), std::string::npos) << err;
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

namespace
{

const QByteArray kDefaultDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";

QByteArray nested(int levels)
{
    return QByteArray("<x>").repeated(levels) + QByteArray("</x>").repeated(levels);
}

QByteArray baseFile(const QByteArray &body, const QByteArray &declaration = kDefaultDeclaration)
{
    return declaration + "<Configuration><Hoofdscherm>" + body + "</Hoofdscherm></Configuration>";
}

} // namespace

// Files that grew odd or were made hostile. A file is either refused at load with a clear message, or the program
// reads it, saves and writes it, and what it wrote reads back to the same bytes (write, read, write).
TEST(SettingsStore, HostileFilesAreRefusedOrWrittenInAFormThatReadsBack)
{
    struct Case {
        const char *name;
        QByteArray file;
        const char *refused;             // part of the load error, or nullptr when the file loads
        std::vector<QByteArray> written; // parts of the written file
    };
    const QByteArray xmlDecl = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";
    const Case cases[] = {
        {"deep unknown elements", baseFile(nested(14500)), "Elementen zijn dieper genest dan 100 niveaus.", {}},
        {"one level too deep", baseFile(nested(99)), "regel 1, kolom", {}},
        {"deepest nesting allowed", baseFile(nested(98)), nullptr, {QByteArray(198, ' ') + "<x/>\r\n"}},
        {"processing instruction without data", baseFile("<?keep?>"), nullptr, {"    <?keep?>\r\n"}},
        {"processing instruction with blanks", baseFile("<?keep   a  b   ?>"), nullptr, {"    <?keep a  b?>\r\n"}},
        {"name beyond Latin-1 in a file without declaration",
         baseFile("<Naam\xe5\x90\x8d>w</Naam\xe5\x90\x8d>", ""),
         nullptr,
         {xmlDecl + "\r\n", "    <Naam_>w</Naam_>\r\n"}},
        {"attribute names that become the same",
         baseFile("<e a\xe5\x90\x8d=\"1\" a\xe5\x90\x8e=\"2\"/>", ""),
         nullptr,
         {"    <e a_=\"1\"/>\r\n"}},
        {"declared encoding the writer cannot produce",
         baseFile("<e>\x80</e>", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"),
         nullptr,
         {xmlDecl + "\r\n", "<e>&#8364;</e>"}},
        {"attribute with tab, line feed and carriage return",
         baseFile("<e a=\"x&#9;y&#10;z&#13;\"/>"),
         nullptr,
         {"<e a=\"x&#9;y&#10;z&#13;\"/>"}},
        {"comment beyond Latin-1", baseFile("<!-- \xe5\x90\x8d -->", ""), nullptr, {"<!-- &#21517; -->"}},
        {"declaration inside a comment before the root",
         "<!-- <?xml version=\"1.0\" encoding=\"utf-8\"?> --><Configuration><Hoofdscherm/></Configuration>",
         nullptr,
         {xmlDecl + "\r\n<!-- <?xml"}},
        {"NUL inside a processing instruction", baseFile(QByteArray("<?keep a\0b?>", 12)), "regel 1", {}},
        {"character reference XML does not allow", baseFile("<e>&#0;</e>"), "regel 1", {}},
        {"count without items",
         baseFile("<BasicProducts_Lines><Count>1000000</Count></BasicProducts_Lines>"
                  "<BasicIndications_Lines><Count>2000000000</Count><Item3>d</Item3></BasicIndications_Lines>"),
         nullptr,
         {"    <BasicProducts_Lines>\r\n      <Count>0</Count>\r\n",
          "      <Count>4</Count>\r\n      <Item3>d</Item3>\r\n      <Item0/>\r\n      <Item1/>\r\n      "
          "<Item2/>\r\n"}},
        {"stray text between list items and a count below the items",
         xmlDecl + "\r\n<Configuration>\r\n  <Hoofdscherm>\r\n    <FormVersion>0</FormVersion>\r\n"
                   "    <BasicProducts_Lines>\r\n      <Item0>P1=Taxi &amp; bus</Item0>\r\n"
                   " \xe0\xdf\xdf\xde <Item1/>M\n      <Item2>P3=&#8364;</Item2>\r\n      <Count>1</Count>\r\n"
                   "   \x9b </BasicProducts_Lines>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n",
         nullptr,
         {"      <Item0>P1=Taxi &amp; bus</Item0>\r\n      \xe0\xdf\xdf\xde\r\n      M\r\n      <Count>1</Count>\r\n"
          "      \x9b\r\n    </BasicProducts_Lines>\r\n"}},
        {"item numbers with sign or leading zeros are not items",
         baseFile("<BasicProducts_Lines><Item00>a</Item00><Item-1>b</Item-1><Count>2</Count></BasicProducts_Lines>"),
         nullptr,
         {"<Item00>a</Item00>", "<Count>0</Count>"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore store(QStringLiteral("VoranotoOstrelBase.xml"), SettingsFile::Base);
        if (c.refused) {
            try {
                store.loadFrom(c.file);
                ADD_FAILURE() << "loaded";
            } catch (const XmlParseError &e) {
                EXPECT_TRUE(e.message().startsWith(QLatin1String("VoranotoOstrelBase.xml: regel ")))
                    << e.message().toStdString();
                EXPECT_TRUE(e.message().contains(QLatin1String(c.refused))) << e.message().toStdString();
            }
            continue;
        }
        ASSERT_NO_THROW(store.loadFrom(c.file));
        MemoryControls controls;
        ASSERT_TRUE(store.apply(controls));
        store.save(controls);
        const QByteArray first = store.serialize();
        for (const QByteArray &part : c.written)
            EXPECT_TRUE(first.contains(part)) << first.constData();

        SettingsStore again(QStringLiteral("VoranotoOstrelBase.xml"), SettingsFile::Base);
        ASSERT_NO_THROW(again.loadFrom(first)) << first.constData();
        MemoryControls back;
        ASSERT_TRUE(again.apply(back));
        again.save(back);
        EXPECT_EQ(again.serialize(), first);
    }
}

TEST(SettingsStore, LongListsAreReadAndWrittenInOnePass)
{
    // 60,000 lines over a stored list of 100,000: with a search per item this took many minutes.
    QByteArray body = "<BasicProducts_Lines>";
    for (int i = 0; i < 100000; ++i)
        body += "<Item" + QByteArray::number(i) + ">p" + QByteArray::number(i) + "</Item" + QByteArray::number(i) + ">";
    body += "<Count>100000</Count></BasicProducts_Lines>";
    SettingsStore store(QStringLiteral("unused.xml"), SettingsFile::Base);
    store.loadFrom(baseFile(body));
    MemoryControls controls;
    ASSERT_TRUE(store.apply(controls));
    QStringList lines = controls.lines(Control::BasicProducts);
    ASSERT_EQ(lines.size(), 100000);
    EXPECT_EQ(lines.at(99999), QLatin1String("p99999"));
    lines.resize(60000);
    lines[59999] = QStringLiteral("laatste");
    controls.setLines(Control::BasicProducts, lines);
    store.save(controls);
    const QByteArray out = store.serialize();
    EXPECT_TRUE(out.contains("      <Item59998>p59998</Item59998>\r\n      <Item59999>laatste</Item59999>\r\n"
                             "      <Count>60000</Count>\r\n"));
    EXPECT_FALSE(out.contains("<Item60000>"));
}
