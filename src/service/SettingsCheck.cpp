#include "service/SettingsCheck.h"

#include "base/ProgramFolders.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/SoapTransport.h"
#include "settings/MemoryControls.h"
#include "settings/ServiceEndpoints.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsXml.h"

#include <QDir>
#include <QDomElement>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace
{

// The window's own elements beside the settings.
const QStringList kFormElements = {QStringLiteral("FormVersion"), QStringLiteral("Flags"),
                                   QStringLiteral("PixelsPerInch"), QStringLiteral("MinMaxPos"),
                                   QStringLiteral("NormPos")};

int editDistance(const QString &a, const QString &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            const int cost = a.at(i - 1).toLower() == b.at(j - 1).toLower() ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row.back();
}

QStringList knownNames(SettingsFile file)
{
    QStringList names = kFormElements;
    for (const ControlInfo &info : allControls())
        if (info.file == file)
            names << settingsElementName(info.id);
    return names;
}

const QString kFormSection = QStringLiteral("Hoofdscherm");

// A section beside the one the program reads is never read: a misspelt one leaves every setting at its default.
void checkSections(const SettingsStore &store, QStringList &problems)
{
    const QString fileName = QFileInfo(store.filePath()).fileName();
    const QDomElement root = store.document().documentElement();
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.tagName() == kFormSection)
            continue;
        problems << QStringLiteral("%1: de sectie %2 is onbekend en wordt niet gelezen; de instellingen staan in de "
                                   "sectie %3.")
                        .arg(fileName, e.tagName(), kFormSection);
    }
}

void checkNames(const SettingsStore &store, SettingsFile file, QStringList &problems)
{
    const QStringList known = knownNames(file);
    const QString fileName = QFileInfo(store.filePath()).fileName();
    const QDomElement form = store.document().documentElement().firstChildElement(kFormSection);
    for (QDomElement e = form.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (known.contains(e.tagName()))
            continue;
        const QString nearest = NearestName(e.tagName(), known);
        problems << (nearest.isEmpty()
                         ? QStringLiteral("%1: de instelling %2 is onbekend en wordt niet gebruikt.")
                               .arg(fileName, e.tagName())
                         : QStringLiteral("%1: de instelling %2 is onbekend en wordt niet gebruikt; bedoeld is "
                                          "misschien %3.")
                               .arg(fileName, e.tagName(), nearest));
    }
}

// A check box value the program cannot read leaves the box as it was: "ja" does not switch anything on.
void checkCheckBoxes(const SettingsStore &store, SettingsFile file, QStringList &problems)
{
    const QString fileName = QFileInfo(store.filePath()).fileName();
    const QDomElement form = store.document().documentElement().firstChildElement(kFormSection);
    for (const ControlInfo &info : allControls()) {
        if (info.file != file || info.kind != ControlKind::CheckBox)
            continue;
        const QDomElement e = form.firstChildElement(settingsElementName(info.id));
        if (e.isNull() || ReadCheckBoxText(SettingsText(e)))
            continue;
        problems << QStringLiteral("%1: %2 \"%3\" is geen TRUE of FALSE en wordt niet gelezen; het vakje blijft %4.")
                        .arg(fileName, settingsElementName(info.id), SettingsText(e),
                             info.defaultChecked ? QStringLiteral("aan") : QStringLiteral("uit"));
    }
}

// The embedded database file is made by the program, its folder is not (except the program's own Vorano).
void checkDatabaseFolder(const Controls &c, const QString &folder, QStringList &problems)
{
    const DispatchDb db(c, folder, QStringLiteral("CHECK-MAP"));
    if (!db.dialect().embedded())
        return;
    const QString databaseFolder = QFileInfo(db.sqlitePath()).absolutePath();
    if (databaseFolder == ProgramFolders::under(folder).vorano || QFileInfo(databaseFolder).isDir())
        return;
    problems << QStringLiteral("xLoginDatabase: de map %1 van het databasebestand bestaat niet; maak de map of kies "
                               "een ander bestand.")
                    .arg(QDir::toNativeSeparators(databaseFolder));
}

bool hasLeadingDigits(const QString &text)
{
    const QString t = text.trimmed();
    return !t.isEmpty() && t.at(0).isDigit();
}

void checkValues(const Controls &c, QStringList &problems)
{
    // The timer reads the leading digits; none, or 0, falls back to one minute.
    const QString interval = c.text(Control::xInterval);
    static const QRegularExpression leading(QStringLiteral("^[ \t]*(\\d+)"));
    const QRegularExpressionMatch digits = leading.match(interval);
    if (!digits.hasMatch() || digits.captured(1).toLongLong() <= 0)
        problems << QStringLiteral("xInterval \"%1\" is geen geldig aantal minuten; het programma haalt dan elke "
                                   "minuut ritten op.")
                        .arg(interval);
    for (Control number : {Control::xStandaardTarief, Control::xDebiteur, Control::xBedrijf, Control::Gebruiker}) {
        const QString value = c.text(number);
        if (!hasLeadingDigits(value))
            problems << QStringLiteral("%1 \"%2\" is geen getal; het programma gebruikt dan 0.")
                            .arg(QLatin1String(controlInfo(number).name), value);
    }
    bool ok = false;
    const QString failure = c.text(Control::xStoringMinuten);
    const int failureMinutes = failure.trimmed().toInt(&ok);
    if (!ok || failureMinutes <= 0)
        problems << QStringLiteral("xStoringMinuten \"%1\" is geen geldig aantal minuten; het programma gebruikt dan "
                                   "30.")
                        .arg(failure);
    if (c.text(Control::xLoginDriver).trimmed().isEmpty())
        problems << QStringLiteral("xLoginDriver is leeg: kies een ODBC-stuurprogramma (bijvoorbeeld FreeTDS) of "
                                   "SQLite.");
}

void checkSwitches(const Controls &c, QStringList &problems)
{
    const QString service = c.text(Control::xSoapServer).trimmed();
    if (service.isEmpty() || service == QLatin1String(kStartupServiceEndpoint) ||
        service == QLatin1String(kBuiltInServiceEndpoint))
        problems << QStringLiteral("xSoapServer is nog het voorbeeldadres %1; vul het adres van de service in.")
                        .arg(EffectiveServiceUrl(service));
    if (!c.checked(Control::xAuto))
        problems << QStringLiteral("Automatische controle (xAuto) staat uit: het programma haalt geen ritten op.");
    if (c.checked(Control::xAuto) && !c.checked(Control::xVerwerken))
        problems << QStringLiteral("Ritten verwerken (xVerwerken) staat uit: opgehaalde ritten worden niet in de planning "
                                   "gezet en niet bevestigd.");
    else if (c.checked(Control::xAuto) && !c.checked(Control::xBevestigen))
        problems << QStringLiteral("Automatisch bevestigen (xBevestigen) staat uit: nieuwe ritten worden opgeslagen maar "
                                   "niet bevestigd, en de service biedt ze steeds opnieuw aan.");
    if (!c.checked(Control::xBezet))
        problems << QStringLiteral("Retourmeldingen (xBezet) staan uit: het programma meldt geen ritgebeurtenissen "
                                   "terug.");
}

void checkDatabase(const Controls &c, const QString &folder, SettingsCheckResult &result)
{
    DispatchDb db(c, folder, QStringLiteral("CHECK"));
    // The embedded file is made at the first start; the check makes nothing.
    if (db.dialect().embedded() && !QFileInfo::exists(db.sqlitePath())) {
        result.notes << QStringLiteral("Het databasebestand %1 bestaat nog niet; het programma maakt het bij de "
                                       "eerste ophaalactie.")
                            .arg(QDir::toNativeSeparators(db.sqlitePath()));
        return;
    }
    // Whether another installation holds the database for this owner code; the program of this very folder may.
    const QString self = DispatchDb::installationName(folder);
    db.setClaim(self, true);
    try {
        db.open();
        db.close();
    } catch (const DatabaseClaimed &e) {
        if (e.holder() != self)
            result.problems << e.message();
    } catch (const VoranoError &e) {
        result.problems << QStringLiteral("De database gaat niet open: %1").arg(e.message());
    }
}

void checkService(const Controls &c, NetworkConnections &net, QStringList &problems)
{
    const QString action = QLatin1String(KwpAction::RetrieveVehicleTypes);
    const QString url = c.text(Control::xSoapServer).trimmed();
    if (url.isEmpty() || url == QLatin1String(kStartupServiceEndpoint) || url == QLatin1String(kBuiltInServiceEndpoint))
        return; // said already; the example address is nobody's service
    try {
        const std::unique_ptr<External_> stub = CreateServiceProxy(net, url, c.checked(Control::xCertNegeren));
        const QString reply = stub->xmlRequest(BuildRequest(c, KwpVersion(action), action));
        if (!ReplyAccepted(NormalizeReply(reply), action, true))
            problems << QStringLiteral("De service antwoordt, maar weigert de vraag %1 (status %2); kijk naar "
                                       "xInlognaam en xPaswoord.")
                            .arg(action, ReadXMLValue(NormalizeReply(reply), QStringLiteral("status")));
    } catch (const VoranoError &e) {
        problems << QStringLiteral("De service antwoordt niet: %1").arg(e.message());
    }
}

} // namespace

QString NearestName(const QString &name, const QStringList &known)
{
    QString best;
    int bestDistance = std::max<int>(3, int(name.size()) / 4) + 1;
    for (const QString &candidate : known) {
        const int d = editDistance(name, candidate);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

QStringList CheckLoadedSettings(const SettingsStore &main, const SettingsStore &base, const Controls &controls,
                                const QString &folder)
{
    QStringList problems;
    checkSections(main, problems);
    checkSections(base, problems);
    checkNames(main, SettingsFile::Main, problems);
    checkNames(base, SettingsFile::Base, problems);
    checkCheckBoxes(main, SettingsFile::Main, problems);
    checkValues(controls, problems);
    checkDatabaseFolder(controls, folder, problems);
    checkSwitches(controls, problems);
    return problems;
}

SettingsCheckResult CheckSettings(const QString &workingFolder, NetworkConnections &net)
{
    SettingsCheckResult result;
    SettingsStore main(workingFolder + QLatin1Char('/') + QLatin1String(SettingsStore::kMainFileName),
                       SettingsFile::Main);
    SettingsStore base(workingFolder + QLatin1Char('/') + QLatin1String(SettingsStore::kBaseFileName),
                       SettingsFile::Base);
    try {
        main.load();
        base.load();
    } catch (const VoranoError &e) {
        result.problems << e.message();
        return result;
    }
    if (!QFileInfo::exists(main.filePath()))
        result.notes << QStringLiteral("%1 bestaat nog niet; het programma gebruikt de standaardwaarden.")
                            .arg(QDir::toNativeSeparators(main.filePath()));
    MemoryControls controls;
    controls.setText(Control::xSoapServer, QLatin1String(kStartupServiceEndpoint));
    main.apply(controls);
    base.apply(controls);
    result.problems << CheckLoadedSettings(main, base, controls, workingFolder);
    if (result.problems.filter(QStringLiteral("xLoginDatabase: de map")).isEmpty())
        checkDatabase(controls, workingFolder, result);
    checkService(controls, net, result.problems);
    return result;
}
