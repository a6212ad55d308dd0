#pragma once
// Drives a modal dialog from inside its own event loop: the action is queued before the blocking
// call and runs once the dialog is the active modal widget.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace dlgtest {

inline void EndStuck(QWidget* modal, const char* why) {
    if (auto* d = qobject_cast<QDialog*>(modal); d && d->isVisible()) {
        ADD_FAILURE() << why;
        d->done(-1);
    }
}

// Runs `act` on the modal dialog as soon as it is up and active (keys go to the active window).
// A dialog that never becomes active, or is still open a while after the action, is ended with
// -1 so that a test fails instead of hanging.
inline void OnModal(std::function<void(QWidget*)> act, int tries = 200) {
    QTimer::singleShot(10, [act = std::move(act), tries]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal && modal->isVisible() && modal->isActiveWindow();
        if (!ready) {
            if (tries > 0)
                OnModal(std::move(act), tries - 1);
            else if (modal)
                EndStuck(modal, "the modal dialog never became active");
            return;
        }
        QPointer<QWidget> guard(modal);
        act(modal);
        QTimer::singleShot(3000, [guard] {
            if (guard)
                EndStuck(guard, "the action left the modal dialog open");
        });
    });
}

} // namespace dlgtest
