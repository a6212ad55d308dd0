#include "app/pages/PageParts.h"

#include "widgets/FileNameEdit.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pages {

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* w = new QLabel(text, parent);
    w->setObjectName(name);
    return w;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text) {
    auto* w = new QPushButton(text, parent);
    w->setObjectName(name);
    w->setAutoDefault(false);
    return w;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text) {
    auto* w = new QCheckBox(text, parent);
    w->setObjectName(name);
    w->setChecked(false);
    return w;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QString& text) {
    auto* w = new QLineEdit(text, parent);
    w->setObjectName(name);
    return w;
}

FileNameEdit* MakeFileName(QWidget* parent, const QString& name, bool save, const QString& filter) {
    auto* w = new FileNameEdit(parent);
    w->setObjectName(name);
    w->SetMode(save ? FileNameEdit::Mode::Save : FileNameEdit::Mode::Open);
    w->SetFilter(filter);
    return w;
}

SpinEdit* MakeSpin(QWidget* parent, const QString& name, const SpinValue& rules, double value) {
    auto* w = new SpinEdit(rules, value, parent);
    w->setObjectName(name);
    return w;
}

QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption) {
    auto* w = new QGroupBox(caption, parent);
    w->setObjectName(name);
    return w;
}

QGridLayout* MakeGrid(QWidget* owner) {
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    return grid;
}

void AddRow(QGridLayout* grid, int row, QWidget* control, const QString& caption,
            const QString& unit) {
    QWidget* owner = grid->parentWidget();
    if (!caption.isEmpty())
        grid->addWidget(MakeLabel(owner, control->objectName() + "Caption", caption), row, 0);
    grid->addWidget(control, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(MakeLabel(owner, control->objectName() + "Unit", unit), row, 2);
}

QHBoxLayout* MakeRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* w : widgets)
        row->addWidget(w);
    row->addStretch(1);
    return row;
}

} // namespace pages
