#pragma once

#include "settings/Controls.h"

#include <QHash>

// Controls held in memory, starting from the design defaults. Used by tests, benchmarks and headless runs.
class MemoryControls : public Controls
{
  public:
    MemoryControls();

    QString text(Control c) const override;
    void setText(Control c, const QString &value) override;
    bool checked(Control c) const override;
    void setChecked(Control c, bool value) override;
    QStringList lines(Control c) const override;
    void setLines(Control c, const QStringList &value) override;

  private:
    QHash<Control, QString> m_text;
    QHash<Control, bool> m_checked;
    QHash<Control, QStringList> m_lines;
};
