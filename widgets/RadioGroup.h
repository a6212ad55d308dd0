#pragma once
// A radio group: a captioned frame of radio items of which at most one is selected. The
// operator's pick raises clicked(index); the program's SetItemIndex raises nothing.
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    // Replaces the items; none is selected afterwards.
    void SetItems(const QStringList& items);
    QStringList Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }

    // Items are laid out top to bottom, then in the next column.
    void SetColumns(int columns);
    int Columns() const { return columns_; }

    // The selected item, -1 when none.
    int ItemIndex() const;
    // Selects an item without raising clicked; an index outside the items clears the choice.
    void SetItemIndex(int index);
    // Selects an item as the operator does, raising clicked; an index outside the items
    // does nothing.
    void PickItem(int index);

    QRadioButton* Button(int index) const;

signals:
    void clicked(int index);

private:
    void Arrange();

    QStringList items_;
    int columns_ = 1;
    QButtonGroup* group_;
    QGridLayout* grid_;
};
