#include "dialogs/DialogScript.h"

#include <QAbstractButton>
#include <QDialog>
#include <QTimer>

#include "base/ScriptedDialogs.h"

void ScriptDialogShown(QDialog* dialog, QAbstractButton* ok, QAbstractButton* cancel) {
    if (!scripted::Active())
        return;
    scripted::Report(dialog->windowTitle(), QString());
    const auto answer = scripted::NextAnswer();
    if (!answer)
        return;
    using scripted::AnswerKind;
    QAbstractButton* button =
        (answer->kind == AnswerKind::Cancel || answer->kind == AnswerKind::No) ? cancel : ok;
    // Pressed once the dialog's own event loop runs, as an operator would.
    QTimer::singleShot(0, button, [button] { button->click(); });
}
