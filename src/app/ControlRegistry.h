#pragma once

#include "settings/Controls.h"

#include <QHash>

class QWidget;

// The widgets behind the controls: an edit (QLineEdit), a check box (QCheckBox), a memo (QPlainTextEdit) or a
// display (QLabel). Pages register their widgets here; the main window reads and writes them through it.
class ControlRegistry : public Controls
{
  public:
    void add(Control c, QWidget *widget);
    QWidget *widget(Control c) const { return m_widgets.value(c); }

    QString text(Control c) const override;
    void setText(Control c, const QString &value) override;
    bool checked(Control c) const override;
    void setChecked(Control c, bool value) override;
    QStringList lines(Control c) const override;
    void setLines(Control c, const QStringList &value) override;

  private:
    QHash<Control, QWidget *> m_widgets;
};

// Sets a control's hint: its tooltip and the text the status bar shows while the mouse rests on it.
void setHint(QWidget *widget, const QString &hint);
