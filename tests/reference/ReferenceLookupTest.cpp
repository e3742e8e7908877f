#include "reference/ReferenceLookup.h"

#include <gtest/gtest.h>

namespace
{

struct LookupCase {
    const char *what;
    QStringList lines;
    QString id;
    QString expected;
};

void PrintTo(const LookupCase &c, std::ostream *os)
{
    *os << c.what;
}

class ReferenceLookupTest : public ::testing::TestWithParam<LookupCase>
{
};

TEST_P(ReferenceLookupTest, FindsTheValue)
{
    const LookupCase &c = GetParam();
    EXPECT_EQ(ReferenceLookup(c.lines, c.id), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReferenceLookupTest,
    ::testing::Values(LookupCase{"exact id", {u"1=Taxi"_qs, u"2=Rolstoelbus"_qs}, u"2"_qs, u"Rolstoelbus"_qs},
                      LookupCase{"letter case ignored", {u"a1=Busje"_qs}, u"A1"_qs, u"Busje"_qs},
                      LookupCase{"first of two equal ids", {u"3=Eerste"_qs, u"3=Tweede"_qs}, u"3"_qs, u"Eerste"_qs},
                      LookupCase{"name holding =", {u"4=a=b"_qs}, u"4"_qs, u"a=b"_qs},
                      LookupCase{"line without = skipped", {u"5"_qs, u"5x"_qs, u"5=Vijf"_qs}, u"5"_qs, u"Vijf"_qs},
                      LookupCase{"id is not a prefix match", {u"10=Tien"_qs}, u"1"_qs, QString()},
                      LookupCase{"no such id", {u"1=Taxi"_qs}, u"9"_qs, QString()},
                      LookupCase{"empty list", {}, u"1"_qs, QString()},
                      LookupCase{"item without id", {u"=Zonder"_qs}, QString(), u"Zonder"_qs},
                      LookupCase{"item without name", {u"6="_qs}, u"6"_qs, QString()}));

} // namespace
