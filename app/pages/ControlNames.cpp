#include "app/pages/ControlNames.h"

#include <QSet>
#include <QWidget>

namespace {

bool IsControlName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

} // namespace

QStringList ControlNames(const QWidget* root) {
    QStringList names;
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (IsControlName(w->objectName()))
            names << w->objectName();
    }
    return names;
}

QStringList DuplicateControlNames(const QWidget* root) {
    QSet<QString> seen;
    QStringList twice;
    for (const QString& name : ControlNames(root)) {
        if (seen.contains(name)) {
            if (!twice.contains(name))
                twice << name;
        } else {
            seen.insert(name);
        }
    }
    return twice;
}

QWidget* FindControl(const QWidget* root, const QString& name) {
    if (!IsControlName(name))
        return nullptr;
    return root->findChild<QWidget*>(name);
}
