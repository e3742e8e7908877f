#include "app/ControlRegistry.h"

#include "base/PlainTextWidgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <limits>

void setHint(QWidget *widget, const QString &hint)
{
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

void ControlRegistry::add(Control c, QWidget *widget)
{
    const ControlInfo &info = controlInfo(c);
    widget->setObjectName(QLatin1String(info.name));
    m_widgets.insert(c, widget);
    // An edit keeps a stored value of any length; by default it would cut it at 32767 characters without a word.
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setMaxLength(std::numeric_limits<int>::max());
    // A display shows values from outside.
    if (auto *label = qobject_cast<QLabel *>(widget))
        MakePlainText(*label);
    // Design defaults.
    if (info.kind == ControlKind::CheckBox)
        setChecked(c, info.defaultChecked);
    else
        setText(c, QString::fromUtf8(info.defaultText));
}

QString ControlRegistry::text(Control c) const
{
    QWidget *w = m_widgets.value(c);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
        return memo->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return {};
}

void ControlRegistry::setText(Control c, const QString &value)
{
    QWidget *w = m_widgets.value(c);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setText(value);
        edit->setCursorPosition(0);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(value);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(w)) {
        QString text = value;
        memo->setPlainText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    }
}

bool ControlRegistry::checked(Control c) const
{
    auto *box = qobject_cast<QCheckBox *>(m_widgets.value(c));
    return box && box->isChecked();
}

void ControlRegistry::setChecked(Control c, bool value)
{
    if (auto *box = qobject_cast<QCheckBox *>(m_widgets.value(c)))
        box->setChecked(value);
}

QStringList ControlRegistry::lines(Control c) const
{
    auto *memo = qobject_cast<QPlainTextEdit *>(m_widgets.value(c));
    if (!memo)
        return {};
    const QString text = memo->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

void ControlRegistry::setLines(Control c, const QStringList &value)
{
    if (auto *memo = qobject_cast<QPlainTextEdit *>(m_widgets.value(c)))
        memo->setPlainText(value.join(QLatin1Char('\n')));
}
