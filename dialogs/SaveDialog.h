#pragma once
// The save-file dialog: no filter, no default extension, and an existing file is replaced
// without asking (the caller overwrites it).
#include <QString>
#include <optional>

class QWidget;

// The file dialog's control name.
inline constexpr const char* SaveDialogName = "SD";

// The chosen file, or nothing when the operator cancels. While a script drives the console
// it prints "dialog: Save As: <proposed path>" and takes a queued path (or cancel/no), else
// the proposed path.
std::optional<QString> AskSaveFileName(QWidget* parent, const QString& initialFolder,
                                       const QString& proposedPath);
