// The test entry points turn a failure in a guarded handler into a failure of the running test.
#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "base/EventGuard.h"
#include "base/Failure.h"

namespace {
void FailInATimerTick() {
    QTimer::singleShot(0, [] { Guarded([] { throw Failure("Disk full"); }); });
    QCoreApplication::processEvents();
}
} // namespace

TEST(GuardedFailures, FailTheRunningTest) {
    EXPECT_NONFATAL_FAILURE(FailInATimerTick(), "failure in a guarded handler: Disk full");
    // A test that expects one installs its own handler.
    QString shown;
    SetFailureHandler([&](const QString& text) { shown = text; });
    FailInATimerTick();
    EXPECT_EQ(shown, "Disk full");
}
