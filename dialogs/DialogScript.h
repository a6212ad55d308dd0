#pragma once
// While a script drives the console, a serial dialog reports itself when shown and presses the
// button that a queued answer names; with no answer queued it stays open, so that the script
// (still running in the dialog's event loop) drives its controls by name.
class QAbstractButton;
class QDialog;

void ScriptDialogShown(QDialog* dialog, QAbstractButton* ok, QAbstractButton* cancel);
