#include "settings/MemoryControls.h"

MemoryControls::MemoryControls()
{
    for (const ControlInfo &info : allControls()) {
        switch (info.kind) {
        case ControlKind::Edit:
            m_text.insert(info.id, QString::fromUtf8(info.defaultText));
            break;
        case ControlKind::CheckBox:
            m_checked.insert(info.id, info.defaultChecked);
            break;
        case ControlKind::Memo:
            m_lines.insert(info.id, {});
            break;
        }
    }
}

QString MemoryControls::text(Control c) const
{
    if (controlInfo(c).kind == ControlKind::Memo)
        return m_lines.value(c).join(QLatin1String("\r\n"));
    return m_text.value(c);
}

void MemoryControls::setText(Control c, const QString &value)
{
    if (controlInfo(c).kind == ControlKind::Memo)
        m_lines[c] = value.split(QLatin1String("\r\n"));
    else
        m_text[c] = value;
}

bool MemoryControls::checked(Control c) const
{
    return m_checked.value(c);
}

void MemoryControls::setChecked(Control c, bool value)
{
    m_checked[c] = value;
}

QStringList MemoryControls::lines(Control c) const
{
    return m_lines.value(c);
}

void MemoryControls::setLines(Control c, const QStringList &value)
{
    m_lines[c] = value;
}
