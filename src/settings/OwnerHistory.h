#pragma once

#include <QStringList>

class Controls;

// The owner codes (Eigenaar) the import has written rides with. The code is corrected now and then (after the
// first imports, or when the dispatch is set up again); the rides written under an earlier code stay this
// program's: their trips are changed, cancelled and recognised there. The codes are kept in GebruikteEigenaren,
// newest first, each as the rides carry it (fitted to pla_eigenaar).

// The codes in use, newest first: `current` first, then the earlier ones.
QStringList OwnerCodesInUse(const Controls &controls, const QString &current);

// Puts `current` first among the remembered codes.
void RememberOwnerCode(Controls &controls, const QString &current);

// After the settings were read again: codes remembered before (`before`) that the file does not name stay
// remembered, behind the file's own, so a settings file edited before the program wrote its list loses none.
void KeepOwnerCodes(Controls &controls, const QStringList &before);
