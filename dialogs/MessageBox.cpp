#include "dialogs/MessageBox.h"

#include "base/ScriptedDialogs.h"
#include "dialogs/MessageText.h"

#include <QCoreApplication>
#include <QMessageBox>

void ShowMessage(const QString& text) {
    const QString title = QCoreApplication::applicationName();
    if (scripted::Active()) {
        scripted::Report(title, text);
        scripted::NextAnswer(); // only OK to press: any answer closes it
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setText(WrapMessage(text, box.font()));
    box.exec();
}
