#include "widgets/FileNameEdit.h"

#include "base/ScriptedDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QToolButton>

QString QtFileFilter(const QString& filter) {
    if (!filter.contains('|'))
        return filter;
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
                const QString t = p.trimmed();
                if (!t.isEmpty())
                    patterns << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
            }
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        // The name usually repeats the patterns in brackets; Qt reads them from there.
        static const QRegularExpression trailingBrackets(QStringLiteral("\\s*\\([^()]*\\)$"));
        name.remove(trailingBrackets);
        if (name.isEmpty())
            name = patterns.join(' ');
        out << QStringLiteral("%1 (%2)").arg(name, patterns.join(' '));
    }
    return out.join(QStringLiteral(";;"));
}

FileNameEdit::FileNameEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), browse_(new QToolButton(this)),
      title_(QStringLiteral("Browse")) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(edit_, 1);
    row->addWidget(browse_);
    browse_->setText(QStringLiteral("..."));
    browse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse_->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, [this] { emit changed(); });
    connect(browse_, &QToolButton::clicked, this, [this] { Browse(); });
}

QString FileNameEdit::FileName() const {
    return edit_->text();
}

void FileNameEdit::SetFileName(const QString& fileName) {
    if (edit_->text() != fileName)
        edit_->setText(fileName);
}

void FileNameEdit::SetFilter(const QString& filter) {
    filter_ = QtFileFilter(filter);
}

void FileNameEdit::Browse() {
    if (scripted::Active()) {
        scripted::Report(title_, FileName());
        const auto answer = scripted::NextAnswer();
        if (answer && answer->kind == scripted::AnswerKind::Path)
            SetFileName(answer->path);
        return;
    }
    QFileDialog dialog(this, title_);
    dialog.setAcceptMode(mode_ == Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode_ == Mode::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!filter_.isEmpty())
        dialog.setNameFilters(filter_.split(QStringLiteral(";;")));
    const QFileInfo current(FileName());
    if (!FileName().isEmpty()) {
        dialog.setDirectory(current.absolutePath());
        dialog.selectFile(current.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        SetFileName(chosen.front());
}
