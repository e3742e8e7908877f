#include "app/ReturnPage.h"

#include "app/ControlRegistry.h"
#include "base/PlainTextWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

ReturnPage::ReturnPage(ControlRegistry &controls, QWidget *parent)
    : QWidget(parent)
{
    auto *bezet = new QCheckBox(QStringLiteral("Retourmeldingen verzenden bij verwerkt of loos"));
    controls.add(Control::xBezet, bezet);
    auto *owner = new QLineEdit;
    controls.add(Control::Eigenaar, owner);
    // A button that takes no focus, with a hand over it.
    auto *search = new QToolButton;
    search->setObjectName(QStringLiteral("SpeedButton1"));
    search->setText(QStringLiteral("ZOEK EIGENAAR"));
    search->setFocusPolicy(Qt::NoFocus);
    search->setCursor(Qt::PointingHandCursor);
    connect(search, &QToolButton::clicked, this, &ReturnPage::ownerSearchClicked);

    auto *grid = new QGridLayout(this);
    grid->addWidget(bezet, 0, 0, 1, 3);
    grid->addWidget(NewPlainLabel(QStringLiteral("Eigenaar opdrachten")), 1, 0);
    grid->addWidget(owner, 1, 1);
    grid->addWidget(search, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
}
