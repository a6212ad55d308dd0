#pragma once
// A file-name edit: a text field for a path with a browse button beside it that opens a file
// dialog starting at the path shown. The filter may be given in the "Name|pattern|..." form
// the console's descriptions use; it is turned into Qt's "Name (pattern);;..." form.
#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

// "All files (*.*)|*.*|Text files (*.txt)|*.txt" -> "All files (*);;Text files (*.txt)".
// A "*.*" pattern means every file, which on this system is "*" (names need no dot). A text
// with no '|' is taken to be in Qt's form already and returned unchanged.
QString QtFileFilter(const QString& filter);

class FileNameEdit : public QWidget {
    Q_OBJECT
public:
    // Open: pick an existing file. Save: name a file that may not exist yet; the dialog does
    // not ask about overwriting, whoever writes the file does.
    enum class Mode { Open, Save };

    explicit FileNameEdit(QWidget* parent = nullptr);

    QString FileName() const;
    void SetFileName(const QString& fileName);

    // Either form (see QtFileFilter); Filter() gives Qt's form.
    void SetFilter(const QString& filter);
    QString Filter() const { return filter_; }

    void SetMode(Mode mode) { mode_ = mode; }
    Mode GetMode() const { return mode_; }
    void SetDialogTitle(const QString& title) { title_ = title; }
    QString DialogTitle() const { return title_; }

    QLineEdit* Edit() const { return edit_; }
    QToolButton* BrowseButton() const { return browse_; }

    // Shows the file dialog; a chosen file replaces the name, a cancel keeps it. While a script
    // drives the console the dialog is reported and answered from the script's queue.
    void Browse();

signals:
    // Every change of the name, typed, browsed or written by the program.
    void changed();

private:
    QLineEdit* edit_;
    QToolButton* browse_;
    QString filter_;
    QString title_;
    Mode mode_ = Mode::Open;
};
