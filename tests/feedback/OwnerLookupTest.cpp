#include "feedback/OwnerLookup.h"

#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "settings/MemoryControls.h"
#include "support/TempProgramDir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace
{

class OwnerLookupTest : public ::testing::Test
{
  protected:
    OwnerLookupTest()
    {
        controls.setText(Control::xLoginDriver, u"SQLite"_qs);
        controls.setText(Control::Eigenaar, u"007"_qs);
    }

    void addOwner(const QVariant &code, const QString &description)
    {
        db.exec(u"insert into ExterneBronnen (ebr_code, ebr_omschrijving) values (?, ?)"_qs,
                {code.isNull() ? QVariant(QMetaType::fromType<QString>()) : code, description})
            .finish();
    }

    // Answers with the row whose description is given, remembering what it was shown.
    OwnerChooser pick(const QString &description)
    {
        return [this, description](const QList<Owner> &owners) -> std::optional<QString> {
            shown = owners;
            for (const Owner &o : owners)
                if (o.description == description)
                    return o.code;
            return std::nullopt;
        };
    }

    QStringList shownDescriptions() const
    {
        QStringList d;
        for (const Owner &o : shown)
            d << o.description;
        return d;
    }

    TempProgramDir dir;
    MemoryControls controls;
    DispatchDb db{controls, dir.path()};
    QList<Owner> shown;
};

TEST_F(OwnerLookupTest, AcceptedRowSetsEigenaarAndCancelKeepsIt)
{
    addOwner(u"ZV1"_qs, u"Zorgvervoer"_qs);
    addOwner(u"AB1"_qs, u"Abel Taxi"_qs);
    addOwner(u"MID"_qs, u"Midden"_qs);

    ZoekEigenaar(controls, db, pick(u"Midden"_qs));
    EXPECT_EQ(controls.text(Control::Eigenaar), u"MID"_qs);
    EXPECT_EQ(shownDescriptions(), (QStringList{u"Abel Taxi"_qs, u"Midden"_qs, u"Zorgvervoer"_qs}));
    EXPECT_EQ(shown[0].code, u"AB1"_qs);
    EXPECT_EQ(shown[0].id.size(), 38); // the braced key

    ZoekEigenaar(controls, db, [](const QList<Owner> &) { return std::nullopt; });
    EXPECT_EQ(controls.text(Control::Eigenaar), u"MID"_qs);
}

TEST_F(OwnerLookupTest, EachSearchReadsTheTableAfresh)
{
    addOwner(u"AB1"_qs, u"Abel Taxi"_qs);
    ZoekEigenaar(controls, db, pick(u"Abel Taxi"_qs));
    addOwner(u"AAA"_qs, u"Aardig Vervoer"_qs);
    ZoekEigenaar(controls, db, pick(u"Aardig Vervoer"_qs));
    EXPECT_EQ(shownDescriptions(), (QStringList{u"Aardig Vervoer"_qs, u"Abel Taxi"_qs}));
    EXPECT_EQ(controls.text(Control::Eigenaar), u"AAA"_qs);
}

TEST_F(OwnerLookupTest, MissingCodeAndEmptyTableGiveAnEmptyEigenaar)
{
    ZoekEigenaar(controls, db, [this](const QList<Owner> &owners) {
        shown = owners;
        return std::optional<QString>(QString());
    });
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(controls.text(Control::Eigenaar), QString());

    addOwner(QVariant(), u"Zonder code"_qs);
    controls.setText(Control::Eigenaar, u"007"_qs);
    ZoekEigenaar(controls, db, pick(u"Zonder code"_qs));
    EXPECT_EQ(controls.text(Control::Eigenaar), QString());
}

TEST_F(OwnerLookupTest, DatabaseErrorComesBeforeTheDialog)
{
    // A folder where the database file should be: it cannot be opened.
    QDir(dir.path()).mkpath(u"Vorano/dispatch.sqlite"_qs);
    bool asked = false;
    EXPECT_THROW(ZoekEigenaar(controls, db,
                              [&](const QList<Owner> &) {
                                  asked = true;
                                  return std::optional<QString>(u"X"_qs);
                              }),
                 DatabaseError);
    EXPECT_FALSE(asked);
    EXPECT_EQ(controls.text(Control::Eigenaar), u"007"_qs);
}

} // namespace
