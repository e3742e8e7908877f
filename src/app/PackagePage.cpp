#include "app/PackagePage.h"

#include "app/ControlRegistry.h"
#include "base/PlainTextWidgets.h"

#include <QFormLayout>
#include <QLabel>

PackagePage::PackagePage(ControlRegistry &controls, QWidget *parent)
    : QWidget(parent)
{
    auto *form = new QFormLayout(this);
    const struct {
        Control control;
        const char *label;
    } rows[] = {{Control::yStatus, "Status"},
                {Control::ySoort, "Soort pakket"},
                {Control::yRitID, "Rit ID"},
                {Control::yActie, "Actie"}};
    for (const auto &row : rows) {
        QLabel *value = NewPlainLabel();
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        controls.add(row.control, value);
        form->addRow(NewPlainLabel(QString::fromUtf8(row.label)), value);
    }
}
