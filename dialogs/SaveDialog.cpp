#include "dialogs/SaveDialog.h"

#include "base/ScriptedDialogs.h"

#include <QFileDialog>

std::optional<QString> AskSaveFileName(QWidget* parent, const QString& initialFolder,
                                       const QString& proposedPath) {
    const QString title = QStringLiteral("Save As");
    if (scripted::Active()) {
        scripted::Report(title, proposedPath);
        const auto answer = scripted::NextAnswer();
        if (!answer)
            return proposedPath;
        switch (answer->kind) {
        case scripted::AnswerKind::Path:
            return answer->path;
        case scripted::AnswerKind::Cancel:
        case scripted::AnswerKind::No:
            return std::nullopt;
        case scripted::AnswerKind::Ok:
        case scripted::AnswerKind::Yes:
            break;
        }
        return proposedPath;
    }

    QFileDialog dialog(parent, title, initialFolder);
    dialog.setObjectName(SaveDialogName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!proposedPath.isEmpty())
        dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return std::nullopt;
    return chosen.front();
}
