#include "NamedModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QPointer<QTimer> watchdog;
}

void OnModal(const QString& name, std::function<void(QWidget*)> step) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, name, step] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != name || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        step(w);
    });
    timer->start();
}

void StartWatchdog(int ms) {
    StopWatchdog();
    watchdog = new QTimer(qApp);
    watchdog->setInterval(ms);
    QObject::connect(watchdog, &QTimer::timeout, [] {
        for (int i = 0; i < 10; ++i) {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d)
                break;
            ADD_FAILURE() << "dialog " << d->objectName().toStdString() << " left open";
            d->done(QDialog::Rejected);
        }
    });
    watchdog->start();
}

void StopWatchdog() {
    if (watchdog)
        watchdog->deleteLater();
    watchdog = nullptr;
}
