#include "dialogs/ProgressWork.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <thread>

#include "base/ThreadPriority.h"

namespace {
// The dialog counts in steps, not items: its range is an int.
constexpr int Steps = 1000;
constexpr int ShowAfterMs = 1000;
constexpr int PollMs = 100;
} // namespace

bool RunWithProgress(QWidget* parent, const QString& label, int64_t total,
                     const std::function<bool(WorkProgress&)>& work, bool cancellable) {
    const LongWorkUnderWay underWay;
    WorkProgress progress;
    std::atomic<bool> ended{false};
    bool result = false;
    std::exception_ptr failure;

    QProgressDialog dialog(label, QStringLiteral("Cancel"), 0, Steps, parent);
    dialog.setWindowModality(Qt::NonModal);
    dialog.setMinimumDuration(ShowAfterMs);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    if (!cancellable)
        dialog.setCancelButton(nullptr);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { progress.cancel = true; });
    dialog.setValue(0);

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (ended) {
            loop.quit();
            return;
        }
        const int64_t done = progress.done.load(std::memory_order_relaxed);
        if (total > 0 && !dialog.wasCanceled())
            dialog.setValue(static_cast<int>(std::min<int64_t>(done, total) * Steps / total));
    });
    poll.start(PollMs);

    std::thread worker([&] {
        NameThisThread("long work");
        LowerThisThreadPriority();
        try {
            result = work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        ended = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Ends when the work ends, or when the program quits (which ends every event loop): the work
    // is then finished rather than lost, the operator having asked for it.
    loop.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}
