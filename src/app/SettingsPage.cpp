#include "app/SettingsPage.h"

#include "app/ControlRegistry.h"
#include "app/RideColour.h"
#include "base/PlainTextWidgets.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *addEdit(ControlRegistry &controls, QFormLayout *form, Control c, const QString &label,
                   const QString &hint = {})
{
    auto *edit = new QLineEdit;
    controls.add(c, edit);
    if (!hint.isEmpty())
        setHint(edit, hint);
    form->addRow(NewPlainLabel(label), edit);
    return edit;
}

QCheckBox *addCheckBox(ControlRegistry &controls, QFormLayout *form, Control c, const QString &caption)
{
    auto *box = new QCheckBox(caption);
    controls.add(c, box);
    form->addRow(box);
    return box;
}

QLineEdit *addDisplay(ControlRegistry &controls, QFormLayout *form, Control c, const QString &label)
{
    auto *display = new QLineEdit;
    display->setReadOnly(true);
    controls.add(c, display);
    form->addRow(NewPlainLabel(label), display);
    return display;
}

} // namespace

SettingsPage::SettingsPage(ControlRegistry &controls, QWidget *parent)
    : QWidget(parent)
    , m_controls(controls)
    , m_chooseColour([](const QColor &initial, QWidget *owner) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, owner);
        if (!c.isValid())
            return std::nullopt;
        return c;
    })
{
    auto *service = new QGroupBox(QStringLiteral("Soap verbinding"));
    auto *serviceForm = new QFormLayout(service);
    addEdit(controls, serviceForm, Control::xInlognaam, QStringLiteral("Inlognaam"),
            QStringLiteral("Inlognaam soap server"));
    addEdit(controls, serviceForm, Control::xPaswoord, QStringLiteral("Paswoord"),
            QStringLiteral("Paswoord soap server"))
        ->setEchoMode(QLineEdit::Password);
    addEdit(controls, serviceForm, Control::xSoapServer, QStringLiteral("Soap server"),
            QStringLiteral("Voer de Internet locatie van de soap server in"));
    addCheckBox(controls, serviceForm, Control::xCertNegeren,
                QStringLiteral("Certificaatfouten van de soap server negeren"));

    auto *database = new QGroupBox(QStringLiteral("SQL database"));
    auto *databaseForm = new QFormLayout(database);
    addEdit(controls, databaseForm, Control::xLoginServer, QStringLiteral("SQL server"),
            QStringLiteral("Locatie SQL database"));
    addEdit(controls, databaseForm, Control::xLoginDatabase, QStringLiteral("Database"),
            QStringLiteral("Databasenaam Taxis Vorano database"));
    auto *userRow = new QHBoxLayout;
    auto *sqlUser = new QLineEdit;
    controls.add(Control::xLoginSQL, sqlUser);
    setHint(sqlUser, QStringLiteral("Inlognaam SQL database"));
    auto *test = new QPushButton(QStringLiteral("TEST"));
    test->setObjectName(QStringLiteral("TEST"));
    setHint(test, QStringLiteral("Test database verbinding"));
    userRow->addWidget(sqlUser);
    userRow->addWidget(test);
    databaseForm->addRow(NewPlainLabel(QStringLiteral("Inlognaam")), userRow);
    addEdit(controls, databaseForm, Control::xPaswoordSQL, QStringLiteral("Paswoord"),
            QStringLiteral("Paswoord SQL database"))
        ->setEchoMode(QLineEdit::Password);
    addEdit(controls, databaseForm, Control::xLoginDriver, QStringLiteral("Stuurprogramma"),
            QStringLiteral("ODBC-stuurprogramma van de database (bijvoorbeeld FreeTDS) of SQLite"));
    addCheckBox(controls, databaseForm, Control::xSqlCertNegeren,
                QStringLiteral("Certificaat van de databaseserver niet controleren"));
    addCheckBox(controls, databaseForm, Control::xSqlOnversleuteld,
                QStringLiteral("Onversleutelde databaseverbinding toestaan"));
    connect(test, &QPushButton::clicked, this, &SettingsPage::testClicked);

    auto *processing = new QGroupBox(QStringLiteral("Verwerking"));
    auto *processingForm = new QFormLayout(processing);
    addCheckBox(controls, processingForm, Control::xAuto, QStringLiteral("Automatische controle inschakelen"));
    auto *intervalEdit = new QLineEdit;
    controls.add(Control::xInterval, intervalEdit);
    setHint(intervalEdit, QStringLiteral("Interval controletijd nieuwe ritten"));
    QLabel *intervalLabel = NewPlainLabel(QStringLiteral("Interval minuten"));
    setHint(intervalLabel, QStringLiteral("Controle interval"));
    processingForm->addRow(intervalLabel, intervalEdit);
    addCheckBox(controls, processingForm, Control::xBevestigen,
                QStringLiteral("Automatische bevestigen van de opdrachten"));
    addCheckBox(controls, processingForm, Control::xVerwerken, QStringLiteral("Ritten verwerken naar centrale agenda"));
    addCheckBox(controls, processingForm, Control::BackupsMaken,
                QStringLiteral("Backups maken van verwerkte bestanden"));
    addEdit(controls, processingForm, Control::xStoringMinuten, QStringLiteral("Storing melden na minuten"),
            QStringLiteral("Na zoveel minuten waarin elke ophaal- of retouractie mislukte, komt er een waarschuwing "
                           "in het logboek van het systeem"));
    addEdit(controls, processingForm, Control::BackupsDagen, QStringLiteral("Backups bewaren dagen"),
            QStringLiteral("Backups van verwerkte bestanden ouder dan zoveel dagen worden verwijderd"));
    addDisplay(controls, processingForm, Control::LaatsteRit, QStringLiteral("Laatste ritnummer"));
    addDisplay(controls, processingForm, Control::Verwerkt, QStringLiteral("Verwerkte ritten"));
    addDisplay(controls, processingForm, Control::Verwijderd, QStringLiteral("Verwijderde ritten"));

    auto *rides = new QGroupBox(QStringLiteral("Centrale agenda"));
    auto *ridesForm = new QFormLayout(rides);
    addEdit(controls, ridesForm, Control::xStandaardTarief, QStringLiteral("Standaard tariefcode"));
    addEdit(controls, ridesForm, Control::xSV, QStringLiteral("Soort vervoer"));
    addEdit(controls, ridesForm, Control::xDebiteur, QStringLiteral("Debiteur (referentiesleutel)"),
            QStringLiteral("Standaard debiteurnummer voor centrale agenda"));
    addEdit(controls, ridesForm, Control::xBedrijf, QStringLiteral("Bedrijf"),
            QStringLiteral("Standaard bedrijf voor centrale agenda"));
    addEdit(controls, ridesForm, Control::StandaardFilter, QStringLiteral("Standaard filter"));
    addEdit(controls, ridesForm, Control::Aankomst, QStringLiteral("Aankomstgarantie filter"));
    addEdit(controls, ridesForm, Control::Gebruiker, QStringLiteral("Gebruiker"));
    addCheckBox(controls, ridesForm, Control::xRC, QStringLiteral("Ritten op rekening plaatsen"));
    addCheckBox(controls, ridesForm, Control::SoortWagen, QStringLiteral("Soort wagen uit XML ophalen"));
    addCheckBox(controls, ridesForm, Control::chkExtern,
                QStringLiteral("Externe kostenplaatsen (producten) gebruiken"));
    auto *colourButton = new QPushButton(QStringLiteral("Ritkleur"));
    colourButton->setObjectName(QStringLiteral("RitkleurButton"));
    auto *colour = new QLineEdit;
    colour->setReadOnly(true);
    colour->setVisible(false);
    controls.add(Control::Ritkleur, colour);
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(colourButton);
    colourRow->addWidget(colour);
    colourRow->addStretch();
    ridesForm->addRow(colourRow);
    connect(colourButton, &QPushButton::clicked, this, &SettingsPage::rideColourClicked);

    auto *grid = new QGridLayout(this);
    grid->addWidget(service, 0, 0);
    grid->addWidget(database, 1, 0);
    grid->addWidget(processing, 0, 1);
    grid->addWidget(rides, 1, 1);
    grid->setRowStretch(2, 1);
}

void SettingsPage::chooseRideColour()
{
    const std::optional<QColor> chosen = m_chooseColour(m_lastColour, window());
    if (!chosen || !chosen->isValid())
        return;
    const QColor rgb = chosen->toRgb();
    m_lastColour = rgb;
    m_controls.setText(Control::Ritkleur, RitkleurText(rgb.red(), rgb.green(), rgb.blue()));
}
