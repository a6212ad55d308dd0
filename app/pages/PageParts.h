#pragma once
// Makers of the named controls the page builders place, so that every control gets its
// control name, caption and default in one line.
#include "base/SpinValue.h"

#include <QString>
#include <initializer_list>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class FileNameEdit;
class SpinEdit;

namespace pages {

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text);
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text);
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text);
QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QString& text);
// A file-name edit whose browse button saves (or opens, when `save` is false) with the filter.
FileNameEdit* MakeFileName(QWidget* parent, const QString& name, bool save, const QString& filter);
SpinEdit* MakeSpin(QWidget* parent, const QString& name, const SpinValue& rules, double value);
// A group box; "&&" in the caption shows as one "&".
QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption);

// A grid with the spacing the pages use, filling `owner`.
QGridLayout* MakeGrid(QWidget* owner);

// One row of a grid: the caption label, the control, and a unit label after it. The two
// labels are named after the control with "Caption" and "Unit" appended; an empty text
// makes no label. The control sits in column 1, the unit in column 2.
void AddRow(QGridLayout* grid, int row, QWidget* control, const QString& caption,
            const QString& unit = QString());

// A row of widgets from the left, with the rest of the width left empty.
QHBoxLayout* MakeRow(std::initializer_list<QWidget*> widgets);

} // namespace pages
