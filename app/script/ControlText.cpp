#include "app/script/ControlText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "widgets/FileNameEdit.h"
#include "widgets/SpinEdit.h"

QString ControlText(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* spin = qobject_cast<const SpinEdit*>(w))
        return spin->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (auto* file = qobject_cast<const FileNameEdit*>(w))
        return file->FileName();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) // "&&" shows as one "&"
        return QString(group->title()).replace("&&", "&");
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    return w->windowTitle();
}

void SetControlText(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* spin = qobject_cast<SpinEdit*>(w))
        spin->SetText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* file = qobject_cast<FileNameEdit*>(w))
        file->SetFileName(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        group->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else
        w->setWindowTitle(text);
}
