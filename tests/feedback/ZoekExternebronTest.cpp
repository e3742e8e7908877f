#include "feedback/ZoekExternebron.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

const QList<Owner> kOwners{
    {u"Abel Taxi"_qs, u"{00000000-0000-0000-0000-000000000001}"_qs, u"AB1"_qs},
    {u"abraham vervoer"_qs, u"{00000000-0000-0000-0000-000000000002}"_qs, u"AB2"_qs},
    {u"O'Brien Reizen"_qs, u"{00000000-0000-0000-0000-000000000003}"_qs, u"OBR"_qs},
    {u"Zorgvervoer"_qs, u"{00000000-0000-0000-0000-000000000004}"_qs, QString()},
};

class ZoekExternebronTest : public ::testing::Test
{
  protected:
    ZoekExternebronTest()
    {
        dialog.show();
        dialog.activateWindow();
    }
    void type(const QString &text) { QTest::keyClicks(dialog.searchBox(), text); }
    void key(Qt::Key k) { QTest::keyClick(dialog.searchBox(), k); }

    ZoekExternebron dialog{kOwners};
};

TEST_F(ZoekExternebronTest, LooksAsTheUserKnowsIt)
{
    EXPECT_EQ(dialog.windowTitle(), u"Zoeken"_qs);
    EXPECT_EQ(dialog.size(), QSize(350, 300));
    EXPECT_EQ(dialog.font().pixelSize(), 13);
    EXPECT_EQ(dialog.findChild<QPushButton *>(u"OK"_qs)->text(), u"OK"_qs);
    EXPECT_EQ(dialog.findChild<QPushButton *>(u"Stop"_qs)->text(), u"Stop"_qs);
    QTableWidget *list = dialog.list();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(list->item(2, 0)->text(), u"O'Brien Reizen"_qs);
    EXPECT_EQ(list->item(2, 1)->text(), u"{00000000-0000-0000-0000-000000000003}"_qs);
    EXPECT_EQ(list->item(2, 2)->text(), u"OBR"_qs);
}

TEST_F(ZoekExternebronTest, OpensOnTheFirstRowWithItsDescriptionSelected)
{
    EXPECT_EQ(dialog.currentRow(), 0);
    EXPECT_EQ(dialog.searchBox()->text(), u"Abel Taxi"_qs);
    EXPECT_EQ(dialog.searchBox()->selectedText(), u"Abel Taxi"_qs);
    // Typing replaces the selected text.
    type(u"z"_qs);
    EXPECT_EQ(dialog.searchBox()->text(), u"z"_qs);
    EXPECT_EQ(dialog.currentRow(), 3);
}

TEST_F(ZoekExternebronTest, SearchMovesToTheFirstDescriptionStartingWithTheText)
{
    struct Step {
        const char *text;
        int row;
    };
    const Step steps[] = {{"ab", 0}, {"abr", 1}, {"ABRAHAM", 1}, {"abx", 1}, {"o'b", 2}, {"", 0}, {"taxi", 0}};
    for (const Step &s : steps) {
        dialog.searchBox()->setText(QString::fromLatin1(s.text));
        EXPECT_EQ(dialog.currentRow(), s.row) << s.text;
    }
}

TEST_F(ZoekExternebronTest, ArrowKeysMoveThroughTheList)
{
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(dialog.currentRow(), 2);
    key(Qt::Key_Up);
    EXPECT_EQ(dialog.currentRow(), 1);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_EQ(dialog.currentRow(), 0);
    for (int i = 0; i < 6; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(dialog.currentRow(), 3);
}

TEST_F(ZoekExternebronTest, OkAcceptsTheCurrentRow)
{
    type(u"o"_qs);
    QTest::mouseClick(dialog.findChild<QPushButton *>(u"OK"_qs), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.currentCode(), u"OBR"_qs);
}

TEST_F(ZoekExternebronTest, DoubleClickAcceptsTheClickedRow)
{
    QTableWidget *list = dialog.list();
    const QRect cell = list->visualItemRect(list->item(1, 0));
    // A double click arrives as a click followed by the double-click event.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.currentCode(), u"AB2"_qs);
}

TEST_F(ZoekExternebronTest, StopAndEscapeCancel)
{
    key(Qt::Key_Down);
    QTest::mouseClick(dialog.findChild<QPushButton *>(u"Stop"_qs), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    ZoekExternebron second(kOwners);
    second.show();
    QTest::keyClick(second.searchBox(), Qt::Key_Escape);
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_FALSE(second.isVisible());
}

TEST(ZoekExternebronEmpty, OpensEmptyAndOkGivesAnEmptyCode)
{
    ZoekExternebron dialog({});
    dialog.show();
    EXPECT_EQ(dialog.list()->rowCount(), 0);
    EXPECT_TRUE(dialog.searchBox()->text().isEmpty());
    QTest::keyClicks(dialog.searchBox(), u"abc"_qs);
    QTest::keyClick(dialog.searchBox(), Qt::Key_Down);
    EXPECT_EQ(dialog.currentRow(), -1);
    QTest::mouseClick(dialog.findChild<QPushButton *>(u"OK"_qs), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.currentCode(), QString());
}

} // namespace
