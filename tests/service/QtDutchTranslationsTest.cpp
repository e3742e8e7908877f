#include "service/QtDutchTranslations.h"
#include "base/VoranoError.h"
#include "link/SoapTransport.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTranslator>

#include <gtest/gtest.h>

// Standard dialogs and buttons and Qt's own error texts read Dutch once the translations are installed; a
// refused connection reaches the log as Dutch text.
TEST(QtDutchTranslations, StandardDialogsAndQtErrorTextsAreDutch)
{
    const QString english = QCoreApplication::translate("QPlatformTheme", "Cancel");
    QTranslator *dutch = InstallQtDutchTranslations(*QCoreApplication::instance());
    ASSERT_NE(dutch, nullptr) << "Qt's Dutch catalogue is not installed (Debian package qt6-translations-l10n)";
    EXPECT_EQ(english, QLatin1String("Cancel"));

    const struct {
        const char *context;
        const char *source;
        const char *dutch;
    } cases[] = {
        {"QPlatformTheme", "Cancel", "Annuleren"},            // message box and dialog buttons
        {"QPlatformTheme", "&Yes", "&Ja"},                    //
        {"QFileDialog", "Open", "Openen"},                    // "Handmatig verwerken"
        {"QColorDialog", "Select Color", "Kleur selecteren"}, // "Ritkleur"
    };
    for (const auto &c : cases)
        EXPECT_EQ(QCoreApplication::translate(c.context, c.source), QString::fromUtf8(c.dutch)) << c.source;

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(closed.serverPort());
    closed.close();
    try {
        CreateServiceProxy(TestNetwork(), url)->xmlRequest(QStringLiteral("<kwp/>"));
        ADD_FAILURE() << "no error";
    } catch (const TransportError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Verbinding is geweigerd - URL:%1 - SOAPAction:\"\"").arg(url));
    }

    QCoreApplication::removeTranslator(dutch);
    delete dutch;
}
