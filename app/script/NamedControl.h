#pragma once
// A control found by its name below a root widget, of the kind the caller expects: how scripts
// and tests address the console's controls. A missing control or one of another kind is a
// programming error and fails loudly.
#include <QString>
#include <QWidget>
#include <stdexcept>

#include "app/pages/ControlNames.h"

template <class T = QWidget> T* NamedControl(const QWidget* root, const QString& name) {
    QWidget* w = FindControl(root, name);
    if (!w)
        throw std::logic_error(("no control named " + name).toStdString());
    T* typed = qobject_cast<T*>(w);
    if (!typed)
        throw std::logic_error(("control of another kind: " + name).toStdString());
    return typed;
}
