#include "widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

RadioGroup::RadioGroup(QWidget* parent) : RadioGroup(QString(), {}, parent) {}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
    group_->setExclusive(true);
    grid_->setContentsMargins(6, 2, 6, 2);
    grid_->setVerticalSpacing(0);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { emit clicked(id); });
    SetItems(items);
}

void RadioGroup::SetItems(const QStringList& items) {
    for (QAbstractButton* b : group_->buttons()) {
        group_->removeButton(b);
        delete b;
    }
    items_ = items;
    for (int i = 0; i < Count(); ++i) {
        auto* b = new QRadioButton(items_[i], this);
        group_->addButton(b, i);
    }
    Arrange();
}

void RadioGroup::SetColumns(int columns) {
    columns_ = std::max(1, columns);
    Arrange();
}

void RadioGroup::Arrange() {
    while (grid_->count() > 0)
        delete grid_->takeAt(0);
    const int n = Count();
    const int perColumn = std::max(1, (n + columns_ - 1) / columns_);
    for (int i = 0; i < n; ++i)
        grid_->addWidget(group_->button(i), i % perColumn, i / perColumn);
}

int RadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        // An exclusive group cannot uncheck its last checked button.
        group_->setExclusive(false);
        for (QAbstractButton* b : group_->buttons())
            b->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    group_->button(index)->setChecked(true);
}

void RadioGroup::PickItem(int index) {
    if (index >= 0 && index < Count())
        group_->button(index)->click();
}

QRadioButton* RadioGroup::Button(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}
