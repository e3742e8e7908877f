#include "base/VoranoError.h"
#include "db/DatabaseTest.h"
#include "db/DispatchDb.h"
#include "db/OdbcConnectionString.h"
#include "feedback/LogTransactie.h"
#include "settings/MemoryControls.h"
#include "support/TempProgramDir.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

struct StringCase {
    const char *what;
    DbLogin login;
    const char *expected;
};

const QList<StringCase> kStrings = {
    {"FreeTDS, host",
     {"FreeTDS", "dispatch01", "Vorano", "sa", "geheim"},
     "Driver={FreeTDS};Server=dispatch01;Database=Vorano;UID=sa;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;"},
    {"FreeTDS, named instance",
     {"FreeTDS", "dispatch01\\SQLEXPRESS", "Vorano", "sa", "geheim"},
     "Driver={FreeTDS};Server=dispatch01\\SQLEXPRESS;Database=Vorano;UID=sa;PWD=geheim;TDS_Version=7.4;"
     "ClientCharset=UTF-8;Encryption=require;"},
    {"FreeTDS, host and port",
     {"FreeTDS", " 10.0.0.5, 1433 ", "Vorano", "sa", "geheim"},
     "Driver={FreeTDS};Server=10.0.0.5;Port=1433;Database=Vorano;UID=sa;PWD=geheim;TDS_Version=7.4;"
     "ClientCharset=UTF-8;Encryption=require;"},
    {"FreeTDS, password with ; and =",
     {"FreeTDS", "h", "d", "u", "a;b=c"},
     "Driver={FreeTDS};Server=h;Database=d;UID=u;PWD={a;b=c};TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;"},
    {"FreeTDS, password with } alone",
     {"FreeTDS", "h", "d", "u", "x}y"},
     "Driver={FreeTDS};Server=h;Database=d;UID=u;PWD=x}y;TDS_Version=7.4;ClientCharset=UTF-8;Encryption=require;"},
    {"FreeTDS, password starting with {",
     {"FreeTDS", "h", "d", "u", "{abc"},
     "Driver={FreeTDS};Server=h;Database=d;UID=u;PWD={{abc};TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;"},
    {"FreeTDS, empty values",
     {"FreeTDS", "", "", "", ""},
     "Driver={FreeTDS};Server=;Database=;UID=;PWD=;TDS_Version=7.4;ClientCharset=UTF-8;Encryption=require;"},
    {"Microsoft driver keeps host,port",
     {"ODBC Driver 18 for SQL Server", "10.0.0.5,1433", "Vorano", "sa", "a;b}"},
     "Driver={ODBC Driver 18 for SQL Server};Server=10.0.0.5,1433;Database=Vorano;UID=sa;PWD={a;b}}};Encrypt=yes;"},
    {"PostgreSQL",
     {"PostgreSQL Unicode", "127.0.0.1,5432", "dispatch", "vorano", "pw"},
     "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=dispatch;UID=vorano;PWD=pw;"},
    // "Certificaat van de databaseserver niet controleren": only Microsoft's drivers check the certificate.
    {"Microsoft driver 18, certificate not checked",
     {"ODBC Driver 18 for SQL Server", "db01,1433", "Vorano", "sa", "geheim", true},
     "Driver={ODBC Driver 18 for SQL Server};Server=db01,1433;Database=Vorano;UID=sa;PWD=geheim;Encrypt=yes;"
     "TrustServerCertificate=yes;"},
    {"Microsoft driver 17, certificate not checked",
     {"odbc driver 17 for sql server", "db01", "Vorano", "sa", "geheim", true},
     "Driver={odbc driver 17 for sql server};Server=db01;Database=Vorano;UID=sa;PWD=geheim;Encrypt=yes;"
     "TrustServerCertificate=yes;"},
    // The driver every Windows has; it resolves instance names itself.
    {"Windows' own SQL Server driver, named instance, certificate not checked",
     {"SQL Server", "dispatch01\\SQLEXPRESS", "Vorano", "sa", "geheim", true},
     "Driver={SQL Server};Server=dispatch01\\SQLEXPRESS;Database=Vorano;UID=sa;PWD=geheim;Encrypt=yes;"
     "TrustServerCertificate=yes;"},
    {"Microsoft driver 18, certificate checked",
     {"ODBC Driver 18 for SQL Server", "db01", "Vorano", "sa", "geheim", false},
     "Driver={ODBC Driver 18 for SQL Server};Server=db01;Database=Vorano;UID=sa;PWD=geheim;Encrypt=yes;"},
    {"FreeTDS checks no certificate",
     {"FreeTDS", "db01", "Vorano", "sa", "geheim", true},
     "Driver={FreeTDS};Server=db01;Database=Vorano;UID=sa;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;"},
    {"PostgreSQL checks no certificate",
     {"PostgreSQL Unicode", "127.0.0.1,5432", "dispatch", "vorano", "pw", true},
     "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=dispatch;UID=vorano;PWD=pw;"},
    // "Onversleutelde databaseverbinding toestaan": the login may then go in clear to an old server.
    {"FreeTDS, unencrypted allowed",
     {"FreeTDS", "db01", "Vorano", "sa", "geheim", false, true},
     "Driver={FreeTDS};Server=db01;Database=Vorano;UID=sa;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;"},
    {"Microsoft driver, unencrypted allowed",
     {"ODBC Driver 18 for SQL Server", "db01", "Vorano", "sa", "geheim", true, true},
     "Driver={ODBC Driver 18 for SQL Server};Server=db01;Database=Vorano;UID=sa;PWD=geheim;Encrypt=no;"
     "TrustServerCertificate=yes;"},
    {"PostgreSQL, unencrypted allowed",
     {"PostgreSQL Unicode", "h", "d", "u", "pw", false, true},
     "Driver={PostgreSQL Unicode};Server=h;Database=d;UID=u;PWD=pw;"},
};

TEST(OdbcConnectionString, IsBuiltFromTheFourSettings)
{
    for (const StringCase &c : kStrings)
        EXPECT_EQ(OdbcConnectionString(c.login), QString::fromUtf8(c.expected)) << c.what;
    EXPECT_EQ(OdbcConnectOptions(), QLatin1String("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=15"));
}

// FreeTDS cannot take a braced value holding "}": refuse with the setting's label instead of logging in with a
// different password (or user, or database).
TEST(OdbcConnectionString, RefusesWhatFreeTdsCannotTake)
{
    struct Case {
        DbLogin login;
        const char *label;
    };
    for (const Case &c : {Case{{"FreeTDS", "h", "d", "u", "a;b}"}, "\"Paswoord\""},
                          Case{{"freetds", "h", "d", "u", "{ab}"}, "\"Paswoord\""},
                          Case{{"FreeTDS", "h", "d", "x;}", "p"}, "\"Inlognaam\""},
                          Case{{"FreeTDS", "h", "d};", "u", "p"}, "\"Database\""}}) {
        try {
            OdbcConnectionString(c.login);
            ADD_FAILURE() << "accepted " << c.label;
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.label))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QLatin1String("FreeTDS"))) << e.message().toStdString();
        }
    }
}

// The stored setting reaches the string the connection is opened with (the driver itself is not installed here,
// so the opening fails after the string was handed over).
TEST(OdbcConnectionString, CarriesTheCertificateSettingOfTheControls)
{
    TempProgramDir dir;
    MemoryControls controls;
    controls.setText(Control::xLoginDriver, QStringLiteral("ODBC Driver 18 for SQL Server"));
    controls.setText(Control::xLoginServer, QStringLiteral("127.0.0.1,1"));
    const QString name = QStringLiteral("CertificaatTest");
    DispatchDb db(controls, dir.path(), name);
    for (const bool negeren : {false, true}) {
        controls.setChecked(Control::xSqlCertNegeren, negeren);
        EXPECT_THROW(db.open(), DatabaseError);
        const QString opened = QSqlDatabase::database(name, false).databaseName();
        EXPECT_EQ(opened.endsWith(QLatin1String(";TrustServerCertificate=yes;")), negeren) << opened.toStdString();
    }
    EXPECT_FALSE(MemoryControls().checked(Control::xSqlCertNegeren)); // off by default
}

class FreeTdsDb : public ::testing::Test
{
  protected:
    FreeTdsDb()
    {
        controls.setText(Control::xLoginDriver, QStringLiteral("FreeTDS"));
        controls.setText(Control::xLoginDatabase, QStringLiteral("Vorano"));
        controls.setText(Control::xLoginSQL, QStringLiteral("sa"));
        controls.setText(Control::xPaswoordSQL, QStringLiteral("geheim"));
    }

    TempProgramDir dir;
    MemoryControls controls;
    DispatchDb db{controls, dir.path()};
    QStringList log;
    ErrorHook logError = [this](const QString &m) { log << m; };
};

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort(); // closed again when s goes
}

TEST_F(FreeTdsDb, NothingListeningFailsAtOnceWithTheDriversMessage)
{
    EXPECT_EQ(db.dialect().name(), QStringLiteral("SQL Server"));
    controls.setText(Control::xLoginServer, QStringLiteral("127.0.0.1,%1").arg(closedPort()));
    QStringList boxes;
    DatabaseTest test(db, [&](const QString &, const QString &text) { boxes << text; });
    QElapsedTimer t;
    t.start();
    try {
        test.run();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("Unable to connect"))) << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(QLatin1Char('\n'))) << e.message().toStdString();
        std::cout << "refused connection: " << e.message().toStdString() << "\n";
    }
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_FALSE(db.isOpen());
    std::cout << "refused connection reported after " << t.elapsed() << " ms\n";

    // LogTransactie on an unreachable server: one log line, no exception.
    LogTransactie(db, controls, logError, 0, 1, 0, 0, kTransactieNieuweRit, QStringLiteral("1"));
    EXPECT_EQ(log.size(), 1);
}

TEST_F(FreeTdsDb, AValueFreeTdsCannotTakeIsNotSentToTheServer)
{
    QTcpServer server; // would notice a connection attempt
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    controls.setText(Control::xLoginServer, QStringLiteral("127.0.0.1,%1").arg(server.serverPort()));
    controls.setText(Control::xPaswoordSQL, QStringLiteral("ge;heim}"));
    try {
        db.open();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().startsWith(QLatin1String("De waarde van \"Paswoord\""))) << e.message().toStdString();
    }
    EXPECT_FALSE(server.waitForNewConnection(200));
}

// A server that accepts the connection but never answers: the login time-out ends the wait.
TEST_F(FreeTdsDb, AServerThatNeverAnswersTimesOut)
{
    QTcpServer silent; // the kernel completes the handshake; nobody ever reads or writes
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    controls.setText(Control::xLoginServer, QStringLiteral("127.0.0.1,%1").arg(silent.serverPort()));
    QElapsedTimer t;
    t.start();
    try {
        db.open();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("Timeout expired"))) << e.message().toStdString();
        std::cout << "silent server reported after " << t.elapsed() << " ms: " << e.message().toStdString() << "\n";
    }
    EXPECT_FALSE(db.isOpen());
}

// A stand-in SQL Server on 127.0.0.1 that answers every pre-login with "encryption not supported" and records the
// type of every message it receives. A login message (type 0x10) carries the user name and password.
class NoEncryptionServer
{
  public:
    NoEncryptionServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(m_listen, 8) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~NoEncryptionServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listen);
    }

    quint16 port() const { return m_port; }
    std::vector<int> types() const
    {
        std::lock_guard lock(m_mutex);
        return m_types;
    }

  private:
    bool readExactly(int fd, unsigned char *into, size_t n)
    {
        size_t got = 0;
        while (got < n && !m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t r = ::read(fd, into + got, n - got);
            if (r <= 0)
                return false;
            got += size_t(r);
        }
        return got == n;
    }

    void serve(int fd)
    {
        for (;;) {
            unsigned char header[8];
            if (!readExactly(fd, header, sizeof header))
                return;
            const size_t length = (size_t(header[2]) << 8) | header[3];
            std::vector<unsigned char> body(length > 8 ? length - 8 : 0);
            if (!body.empty() && !readExactly(fd, body.data(), body.size()))
                return;
            {
                std::lock_guard lock(m_mutex);
                m_types.push_back(header[0]);
            }
            if (header[0] != 0x12)
                return;
            // clang-format off
            const unsigned char reply[] = {
                0x04, 0x01, 0, 26, 0, 0, 1, 0, // reply header: 26 bytes in all
                0x00, 0, 11, 0, 6,             // VERSION at 11, 6 bytes
                0x01, 0, 17, 0, 1,             // ENCRYPTION at 17, 1 byte
                0xFF,
                15, 0, 7, 0xD0, 0, 0,          // the version
                0x02,                          // ENCRYPT_NOT_SUP
            };
            // clang-format on
            if (::write(fd, reply, sizeof reply) != ssize_t(sizeof reply))
                return;
        }
    }

    void run()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            ::close(fd);
        }
    }

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<int> m_types;
};

// A server that cannot encrypt never receives the login: the connection is refused after the pre-login, with a
// Dutch message that names the setting. With the setting on, the login goes to such a server (in clear).
TEST_F(FreeTdsDb, AServerWithoutEncryptionNeverReceivesTheLogin)
{
    NoEncryptionServer server;
    ASSERT_NE(server.port(), 0);
    controls.setText(Control::xLoginServer, QStringLiteral("127.0.0.1,%1").arg(server.port()));
    EXPECT_FALSE(MemoryControls().checked(Control::xSqlOnversleuteld)); // off by default
    try {
        db.open();
        ADD_FAILURE() << "opened";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("De databaseserver 127.0.0.1,%1 biedt geen versleutelde verbinding aan; er is niet "
                                 "ingelogd, de inlognaam en het paswoord zijn niet verzonden. Alleen voor een oude "
                                 "server op een vertrouwd netwerk: zet \"Onversleutelde databaseverbinding "
                                 "toestaan\" aan op de pagina \"Instellingen\".")
                      .arg(server.port()));
    }
    EXPECT_FALSE(db.isOpen());
    const std::vector<int> refused = server.types();
    EXPECT_FALSE(refused.empty());
    for (const int type : refused)
        EXPECT_EQ(type, 0x12) << "only pre-login messages";

    controls.setChecked(Control::xSqlOnversleuteld, true);
    EXPECT_THROW(db.open(), DatabaseError); // the stand-in ends the conversation at the login
    const std::vector<int> allowed = server.types();
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), 0x10), allowed.end()) << "the login reached the server";
}

} // namespace
