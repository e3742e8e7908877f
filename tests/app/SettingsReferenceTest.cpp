// docs/settings.md against the list of settings and the pages that show them, and the example settings file of a
// server against the checks the program runs at start.
#include "app/ControlRegistry.h"
#include "app/ReturnPage.h"
#include "app/SettingsPage.h"
#include "service/SettingsCheck.h"
#include "settings/MemoryControls.h"
#include "settings/ServiceEndpoints.h"
#include "settings/SettingsStore.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

QString readSource(const char *relative)
{
    QFile f(QStringLiteral(VORANO_SOURCE_DIR "/") + QLatin1String(relative));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool layoutHolds(QLayout *layout, QWidget *widget)
{
    return layout && layout->indexOf(widget) >= 0;
}

// The text a user reads beside a control: a check box's caption, the label of its form row (also when the field is
// a row of its own widgets), the label to its left in a grid, or the button that shares its row.
QString labelOf(QWidget *widget)
{
    if (auto *box = qobject_cast<QCheckBox *>(widget))
        return box->text();
    QLayout *top = widget->parentWidget() ? widget->parentWidget()->layout() : nullptr;
    if (auto *form = qobject_cast<QFormLayout *>(top)) {
        for (int row = 0; row < form->rowCount(); ++row) {
            for (auto role : {QFormLayout::FieldRole, QFormLayout::SpanningRole}) {
                QLayoutItem *item = form->itemAt(row, role);
                if (!item || (item->widget() != widget && !layoutHolds(item->layout(), widget)))
                    continue;
                if (QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole))
                    if (auto *text = qobject_cast<QLabel *>(label->widget()))
                        return text->text();
                for (int i = 0; item->layout() && i < item->layout()->count(); ++i)
                    if (auto *button = qobject_cast<QAbstractButton *>(item->layout()->itemAt(i)->widget()))
                        return button->text();
            }
        }
    }
    if (auto *grid = qobject_cast<QGridLayout *>(top)) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(widget), &row, &column, &rowSpan, &columnSpan);
        if (QLayoutItem *left = grid->itemAtPosition(row, 0))
            if (auto *text = qobject_cast<QLabel *>(left->widget()))
                return text->text();
    }
    return {};
}

// The cells of the reference's row for an element: element, label, meaning, values, default.
QStringList rowOf(const QString &reference, const QString &element)
{
    const QString start = QStringLiteral("| `%1` |").arg(element);
    for (const QString &line : reference.split(QLatin1Char('\n'))) {
        if (!line.startsWith(start))
            continue;
        QStringList cells = line.split(QStringLiteral(" | "));
        for (QString &cell : cells)
            cell = cell.trimmed().remove(QLatin1Char('|')).trimmed();
        return cells;
    }
    return {};
}

QString defaultCell(const ControlInfo &info)
{
    if (info.kind == ControlKind::CheckBox)
        return info.defaultChecked ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    const QString text = QString::fromUtf8(info.defaultText);
    return text.isEmpty() ? QStringLiteral("(empty)") : QStringLiteral("`%1`").arg(text);
}

} // namespace

// Every stored setting has its row, with the label its page shows and the default the program uses.
TEST(SettingsReference, NamesEverySettingWithItsLabelAndDefault)
{
    const QString reference = readSource("docs/settings.md");
    ASSERT_FALSE(reference.isEmpty());
    ControlRegistry controls;
    SettingsPage settingsPage(controls);
    ReturnPage returnPage(controls);
    for (const ControlInfo &info : allControls()) {
        if (info.file == SettingsFile::None)
            continue;
        const QString element = settingsElementName(info.id);
        const QStringList cells = rowOf(reference, element);
        ASSERT_EQ(cells.size(), 5) << element.toStdString() << " has no row of five cells in docs/settings.md";
        EXPECT_EQ(cells.at(4), defaultCell(info)) << element.toStdString();
        if (QWidget *widget = controls.widget(info.id)) {
            EXPECT_EQ(cells.at(1), labelOf(widget)) << element.toStdString();
        } else {
            // The reference lists, and the owner codes the program keeps for itself.
            EXPECT_TRUE(info.file == SettingsFile::Base || info.id == Control::GebruikteEigenaren)
                << element.toStdString() << " is on neither settings page";
        }
    }
}

// The example file of a server names every setting of the main file, each once, and once its address is filled
// in the start has nothing to warn about: a service that follows it retrieves, stores, confirms and reports back.
TEST(SettingsReference, ExampleFileOfAServerIsCompleteAndPassesTheStartChecks)
{
    const QString example = readSource("packaging/VoranotoOstrel.xml");
    ASSERT_FALSE(example.isEmpty());
    for (const ControlInfo &info : allControls()) {
        if (info.file == SettingsFile::Main && info.id != Control::Ritkleur &&
            info.id != Control::GebruikteEigenaren) {
            EXPECT_EQ(example.count(QLatin1Char('<') + settingsElementName(info.id) + QLatin1Char('>')), 1)
                << settingsElementName(info.id).toStdString();
        }
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VORANO_SOURCE_DIR "/packaging/VoranotoOstrel.xml"),
                            dir.filePath(QLatin1String(SettingsStore::kMainFileName))));
    SettingsStore main(dir.filePath(QLatin1String(SettingsStore::kMainFileName)), SettingsFile::Main);
    SettingsStore base(dir.filePath(QLatin1String(SettingsStore::kBaseFileName)), SettingsFile::Base);
    main.load();
    base.load();
    MemoryControls controls;
    main.apply(controls);
    base.apply(controls);
    EXPECT_EQ(CheckLoadedSettings(main, base, controls, dir.path()),
              QStringList{QStringLiteral("xSoapServer is nog het voorbeeldadres %1; vul het adres van de service in.")
                              .arg(QLatin1String(kStartupServiceEndpoint))});
    controls.setText(Control::xSoapServer, QStringLiteral("https://ritten.vervoerder.nl/_external/external.cfc"));
    EXPECT_EQ(CheckLoadedSettings(main, base, controls, dir.path()), QStringList{});
}
