// Our transport against an independent SOAP implementation (the "soap" package of the npm registry under Node.js)
// serving External_ in RPC/encoded style from tests/link/interop: it must accept our request and we must read its
// reply. The package is installed into the build folder by the build (target link_interop_packages).
#include "link/SoapTransport.h"

#include "base/VoranoError.h"

#include "support/QtPrinters.h"
#include "support/TestNetwork.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace
{

class SoapInterop : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
        ASSERT_FALSE(node.isEmpty()) << "Node.js (node) is needed for the interop test";
        const QString modules = QStringLiteral(VORANO_INTEROP_MODULES);
        ASSERT_TRUE(QFile::exists(modules + QStringLiteral("/soap/package.json")))
            << "the npm package soap is missing in " << modules.toStdString()
            << "; build the target link_interop_packages (needs the npm registry)";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NODE_PATH"), modules);
        m_server.setProcessEnvironment(environment);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(node, {QStringLiteral(VORANO_SOURCE_DIR "/tests/link/interop/server.js")});
        ASSERT_TRUE(m_server.waitForStarted(10000)) << m_server.errorString().toStdString();
        while (!m_server.canReadLine())
            ASSERT_TRUE(m_server.waitForReadyRead(20000)) << "the SOAP server did not print its port";
        const int port = m_server.readLine().trimmed().toInt();
        ASSERT_GT(port, 0);
        m_url = QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(port);
    }

    void TearDown() override
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    QProcess m_server;
    QString m_url;
};

TEST_F(SoapInterop, AnIndependentServerAcceptsOurRequestAndWeReadItsReply)
{
    const QString document = QString::fromUtf8("<kwp version=\"3.8\"><header><username>taxi</username><password>a&b"
                                               "</password></header><body><action><name>RetrieveTrips</name>"
                                               "<v>Jansen & Zn <b> > \xc3\xa9\xe2\x82\xac</v></action></body></kwp>");
    QString escaped = document;
    escaped.replace(u'&', QLatin1String("&amp;")).replace(u'<', QLatin1String("&lt;"));
    EXPECT_EQ(CreateServiceProxy(TestNetwork(), m_url)->xmlRequest(document),
              QStringLiteral("<kwp><name>Echo</name><status>200</status><received>%1</received></kwp>").arg(escaped));
}

} // namespace
