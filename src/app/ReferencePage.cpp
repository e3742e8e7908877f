#include "app/ReferencePage.h"

#include "app/ControlRegistry.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

ReferencePage::ReferencePage(ControlRegistry &controls, Control memo, const QString &buttonCaption, QWidget *parent)
    : QWidget(parent)
{
    auto *lines = new QPlainTextEdit;
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    controls.add(memo, lines);
    auto *fetch = new QPushButton(buttonCaption);
    connect(fetch, &QPushButton::clicked, this, &ReferencePage::fetchClicked);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lines, 1);
    layout->addWidget(fetch);
}
