#include "settings/MemoryControls.h"

#include <gtest/gtest.h>

TEST(Controls, StoredMainSettingsKeepTheirWritingOrderAndDefaults)
{
    QStringList names;
    for (const ControlInfo &info : allControls())
        if (info.file == SettingsFile::Main)
            names << settingsElementName(info.id);
    EXPECT_EQ(names.size(), 32);
    EXPECT_EQ(names.first(), QLatin1String("xBezet_Checked"));
    EXPECT_EQ(names.at(24), QLatin1String("Aankomst_Text"));
    EXPECT_EQ(names.at(25), QLatin1String("xLoginDriver_Text"));
    EXPECT_EQ(names.at(26), QLatin1String("xCertNegeren_Checked"));
    EXPECT_EQ(names.at(27), QLatin1String("xSqlCertNegeren_Checked"));
    EXPECT_EQ(names.at(28), QLatin1String("xSqlOnversleuteld_Checked"));
    EXPECT_EQ(names.at(29), QLatin1String("xStoringMinuten_Text"));
    EXPECT_EQ(names.at(30), QLatin1String("GebruikteEigenaren_Lines"));
    EXPECT_EQ(names.at(31), QLatin1String("BackupsDagen_Text"));

    MemoryControls c;
    EXPECT_EQ(c.text(Control::Eigenaar), QLatin1String("007"));
    EXPECT_TRUE(c.checked(Control::chkExtern));
    EXPECT_EQ(c.text(Control::LaatsteRit), QLatin1String("..."));
}
