#include "service/SharedControls.h"

QString SharedControls::text(Control c) const
{
    const std::lock_guard lock(m_mutex);
    return m_values.text(c);
}

void SharedControls::setText(Control c, const QString &value)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_values.text(c) == value)
            return;
        m_values.setText(c, value);
    }
    emit changed(int(c));
}

bool SharedControls::checked(Control c) const
{
    const std::lock_guard lock(m_mutex);
    return m_values.checked(c);
}

void SharedControls::setChecked(Control c, bool value)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_values.checked(c) == value)
            return;
        m_values.setChecked(c, value);
    }
    emit changed(int(c));
}

QStringList SharedControls::lines(Control c) const
{
    const std::lock_guard lock(m_mutex);
    return m_values.lines(c);
}

void SharedControls::setLines(Control c, const QStringList &value)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_values.lines(c) == value)
            return;
        m_values.setLines(c, value);
    }
    emit changed(int(c));
}
