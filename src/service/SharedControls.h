#pragma once

#include "settings/MemoryControls.h"

#include <QObject>

#include <mutex>

// The controls of the link service: read by the cycle on its worker thread, edited by the window (or a reload)
// on the main thread. Every read and write takes a lock, and a write that changes a value says so, so the window
// can show it.
class SharedControls : public QObject, public Controls
{
    Q_OBJECT
  public:
    QString text(Control c) const override;
    void setText(Control c, const QString &value) override;
    bool checked(Control c) const override;
    void setChecked(Control c, bool value) override;
    QStringList lines(Control c) const override;
    void setLines(Control c, const QStringList &value) override;

  signals:
    // A control's value changed (from any thread); the argument is the Control as an int.
    void changed(int control);

  private:
    mutable std::mutex m_mutex;
    MemoryControls m_values;
};
