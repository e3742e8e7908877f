#include "settings/OwnerHistory.h"

#include "settings/Controls.h"

QStringList OwnerCodesInUse(const Controls &controls, const QString &current)
{
    QStringList codes{current};
    for (const QString &code : controls.lines(Control::GebruikteEigenaren)) {
        if (!codes.contains(code))
            codes << code;
    }
    return codes;
}

void RememberOwnerCode(Controls &controls, const QString &current)
{
    const QStringList known = controls.lines(Control::GebruikteEigenaren);
    if (!known.isEmpty() && known.first() == current)
        return;
    controls.setLines(Control::GebruikteEigenaren, OwnerCodesInUse(controls, current));
}

void KeepOwnerCodes(Controls &controls, const QStringList &before)
{
    QStringList codes = controls.lines(Control::GebruikteEigenaren);
    const qsizetype read = codes.size();
    for (const QString &code : before) {
        if (!codes.contains(code))
            codes << code;
    }
    if (codes.size() != read)
        controls.setLines(Control::GebruikteEigenaren, codes);
}
