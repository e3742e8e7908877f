#pragma once

#include "settings/Controls.h"

#include <QWidget>

class ControlRegistry;

// A reference-list page: the memo with the id=name lines and, below it, the button that fetches the list.
class ReferencePage : public QWidget
{
    Q_OBJECT
  public:
    ReferencePage(ControlRegistry &controls, Control memo, const QString &buttonCaption, QWidget *parent = nullptr);

  signals:
    void fetchClicked();
};
