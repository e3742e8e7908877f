#pragma once

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

// A label or message box left to guess its text format shows a text that looks like markup as rich text: an
// <img> loads a local file (from /dev/zero until memory runs out), tags change the layout. Trip values, reference
// lists, log lines, server status texts, release notes and owner names come from outside, so every label and
// message box of the program is made plain here and shows its text literally. Compiled into the window library.
QLabel *NewPlainLabel(const QString &text = {}, QWidget *parent = nullptr);
void MakePlainText(QLabel &label);
void MakePlainText(QMessageBox &box);
