#pragma once
// The text a control shows, as the operator reads it: a label's caption, an edit's or spin
// edit's text, a group's or window's caption. The main window and the script runner share it.
#include <QString>

class QWidget;

QString ControlText(const QWidget* w);
// Sets the shown text of a label, edit, spin edit, group or window.
void SetControlText(QWidget* w, const QString& text);
