#include "base/PlainTextWidgets.h"

#include <QLabel>
#include <QMessageBox>

QLabel *NewPlainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    MakePlainText(*label);
    label->setText(text);
    return label;
}

void MakePlainText(QLabel &label)
{
    label.setTextFormat(Qt::PlainText);
    label.setOpenExternalLinks(false);
}

void MakePlainText(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
}
