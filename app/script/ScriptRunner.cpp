#include "app/script/ScriptRunner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <cstdio>

#include "app/script/ControlText.h"
#include "app/script/ScriptLine.h"
#include "base/Failure.h"
#include "base/ScriptedDialogs.h"
#include "base/WorkProgress.h"
#include "buffer/BufferTableModel.h"
#include "buffer/BufferWindowModel.h"
#include "widgets/FileNameEdit.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

namespace {
void Out(const QString& text) {
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}
} // namespace

ScriptRunner::ScriptRunner(QStringList lines, QObject* parent)
    : QObject(parent), lines_(std::move(lines)) {}

QStringList ScriptRunner::ReadScript(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QString("Cannot read script %1: %2").arg(path, file.errorString()));
    return ScriptLines(file.readAll());
}

void ScriptRunner::QueueLeadingAnswers() {
    while (next_ < lines_.size()) {
        const ScriptCommand c = ParseScriptLine(lines_[next_]);
        if (c.verb == ScriptCommand::Verb::Blank) {
            ++next_;
            continue;
        }
        if (c.verb != ScriptCommand::Verb::Answer)
            break;
        Execute(lines_[next_++]);
    }
}

void ScriptRunner::Start() {
    QTimer::singleShot(0, this, [this] { Step(); });
}

void ScriptRunner::Step() {
    if (stopped_)
        return;
    if (DialogFilling::Any() ||
        ((executing_ > 0 || LongWorkUnderWay::Any()) && !QApplication::activeModalWidget())) {
        // The previous command still runs and lets events through while it waits (the workbook
        // export waits for the spreadsheet so), or long work does (a restore after its
        // question): the next command waits for it to finish, as an operator's next action
        // would. Only a modal dialog lets the script go on inside it, once it shows what it
        // was opened for.
        QTimer::singleShot(10, this, [this] { Step(); });
        return;
    }
    while (next_ < lines_.size() &&
           ParseScriptLine(lines_[next_]).verb == ScriptCommand::Verb::Blank)
        ++next_;
    if (next_ >= lines_.size()) {
        // The end of the file ends the program, as "quit" does.
        stopped_ = true;
        QCoreApplication::exit(0);
        return;
    }
    const QString line = lines_[next_++];
    const ScriptCommand c = ParseScriptLine(line);
    if (c.verb == ScriptCommand::Verb::Wait) {
        if (c.waitMs < 0)
            return Fail("bad wait time: " + c.name);
        QTimer::singleShot(c.waitMs, this, [this] { Step(); });
        return;
    }
    // The next step is due before this one runs: a command that opens a modal dialog keeps
    // the script going inside the dialog's event loop.
    QTimer::singleShot(0, this, [this] { Step(); });
    ++executing_;
    struct Done {
        int& depth;
        ~Done() { --depth; }
    } done{executing_};
    Execute(line);
}

void ScriptRunner::Fail(const QString& message) {
    std::fprintf(stderr, "script: line %d: %s\n", next_, message.toLocal8Bit().constData());
    std::fflush(stderr);
    stopped_ = true;
    QCoreApplication::exit(2);
}

QWidget* ScriptRunner::Find(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    // An open modal dialog first, then the active window (a window just opened, such as a
    // second trend window, is activated), then the others.
    QWidgetList tops;
    if (QWidget* modal = QApplication::activeModalWidget())
        tops << modal;
    if (QWidget* active = QApplication::activeWindow(); active && !tops.contains(active))
        tops << active;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if ((*it)->isVisible() && !tops.contains(*it))
            tops << *it;
    for (QWidget* top : tops) {
        if (top->objectName() == name)
            return top;
        if (auto* w = top->findChild<QWidget*>(name))
            return w;
    }
    return nullptr;
}

void ScriptRunner::Print(const QString& name, QWidget* w) const {
    if (auto* group = qobject_cast<RadioGroup*>(w))
        return Out(QString("%1=%2").arg(name).arg(group->ItemIndex()));
    if (auto* box = qobject_cast<QCheckBox*>(w))
        return Out(QString("%1=%2").arg(name).arg(box->isChecked() ? 1 : 0));
    if (auto* list = qobject_cast<QListWidget*>(w)) {
        Out(QString("%1=%2").arg(name).arg(list->currentRow()));
        for (int r = 0; r < list->count(); ++r)
            Out(QString("%1[%2]=%3").arg(name).arg(r).arg(list->item(r)->text()));
        return;
    }
    if (auto* table = qobject_cast<QTableView*>(w)) {
        QAbstractItemModel* model = table->model();
        if (!model)
            return;
        // The whole buffer, not the rows the grid holds at the moment.
        if (auto* window = qobject_cast<BufferWindowModel*>(model))
            model = &window->Table();
        // The rows of the items that arrived, also those the table shows only a moment later.
        if (auto* buffer = qobject_cast<BufferTableModel*>(model))
            buffer->ShowAppendedRows();
        QStringList header;
        for (int c = 0; c < model->columnCount(); ++c)
            header << model->headerData(c, Qt::Horizontal).toString();
        Out(QString("%1[0]=%2").arg(name, header.join('|')));
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells << model->index(r, c).data().toString();
            Out(QString("%1[%2]=%3").arg(name).arg(r + 1).arg(cells.join('|')));
        }
        return;
    }
    Out(QString("%1=%2").arg(name, ControlText(w)));
}

void ScriptRunner::Execute(const QString& line) {
    using Verb = ScriptCommand::Verb;
    const ScriptCommand c = ParseScriptLine(line);
    if (c.verb == Verb::Answer) {
        scripted::QueueAnswer(c.answer);
        return;
    }
    if (c.verb == Verb::Quit) {
        stopped_ = true;
        QCoreApplication::exit(0);
        return;
    }
    if (c.verb == Verb::Unknown || c.verb == Verb::Wait || c.verb == Verb::Blank) {
        Fail("unknown command: " + line.trimmed());
        return;
    }
    QWidget* w = Find(c.name);
    if (!w) {
        Fail("no control named " + c.name);
        return;
    }
    if (c.verb == Verb::Click) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button)
            Fail(c.name + " is not a button");
        else
            button->click();
    } else if (c.verb == Verb::Set) {
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            // A tick by the operator is a click: it toggles and raises the click event.
            if (box->isChecked() != (c.rest.trimmed() == "1"))
                box->click();
        } else if (auto* group = qobject_cast<RadioGroup*>(w)) {
            bool ok = false;
            const int i = c.rest.trimmed().toInt(&ok);
            if (!ok || i < 0 || i >= group->Count())
                Fail("no item " + c.rest + " in " + c.name);
            else
                group->PickItem(i);
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            bool ok = false;
            const int i = c.rest.trimmed().toInt(&ok);
            if (!ok || i < 0 || i >= list->count()) {
                Fail("no item " + c.rest + " in " + c.name);
            } else {
                // As a click on the row: it becomes current, then the click is raised.
                list->setCurrentRow(i);
                emit list->itemClicked(list->item(i));
            }
        } else if (auto* table = qobject_cast<QTableView*>(w); table && table->model()) {
            // Rows as print numbers them, from 1; as a click on the row.
            bool ok = false;
            const int row = c.rest.trimmed().toInt(&ok);
            if (!ok || row < 1 || row > table->model()->rowCount()) {
                Fail("no row " + c.rest + " in " + c.name);
            } else {
                table->selectRow(row - 1);
                emit table->clicked(table->model()->index(row - 1, 0));
            }
        } else if (auto* when = qobject_cast<QDateTimeEdit*>(w)) {
            // In the edit's own format, as the operator types it.
            const QDateTime t = QDateTime::fromString(c.rest.trimmed(), when->displayFormat());
            if (!t.isValid())
                Fail("no time " + c.rest + " for " + c.name + " (" + when->displayFormat() + ")");
            else
                when->setDateTime(t);
        } else if (auto* spin = qobject_cast<SpinEdit*>(w)) {
            spin->SetText(c.rest);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(c.rest);
        } else if (auto* file = qobject_cast<FileNameEdit*>(w)) {
            file->SetFileName(c.rest);
        } else {
            Fail(c.name + " cannot be set");
        }
    } else if (c.verb == Verb::Page) {
        QWidget* p = w->parentWidget();
        while (p && !qobject_cast<QTabWidget*>(p))
            p = p->parentWidget();
        auto* tabs = qobject_cast<QTabWidget*>(p);
        if (!tabs || tabs->indexOf(w) < 0)
            Fail(c.name + " is not a page");
        else
            tabs->setCurrentWidget(w);
    } else if (c.verb == Verb::Print) {
        Print(c.name, w);
    } else if (c.verb == Verb::Grab) {
        if (!w->grab().save(c.rest))
            Fail("cannot save a picture to " + c.rest);
    }
}
