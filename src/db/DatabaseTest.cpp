#include "db/DatabaseTest.h"

#include "db/DispatchDb.h"

DatabaseTest::DatabaseTest(DispatchDb &db, InformationBox showInformation)
    : m_db(db)
    , m_showInformation(std::move(showInformation))
{
}

void DatabaseTest::run()
{
    // A connection left open by an earlier operation would prove nothing about the current settings.
    m_db.close();
    m_db.open();
    m_showInformation(QString::fromUtf8(kDatabaseTestTitle), QString::fromUtf8(kDatabaseTestText));
    m_db.close();
}
