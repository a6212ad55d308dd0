// The test entry points turn a failure in a guarded handler into a failure of the running test.
#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <stdexcept>

#include "base/EventGuard.h"
#include "base/Failure.h"

namespace {
void FailInATimerTick() {
    QTimer::singleShot(0, [] { Guarded([] { throw Failure("Disk full"); }); });
    QCoreApplication::processEvents();
}

void MisspeltControlInATimerTick() {
    QTimer::singleShot(
        0, [] { Guarded([] { throw std::logic_error("no control named FreqEdit"); }); });
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

TEST(GuardedFailures, ProgrammingErrorsFailTheTestAndEndADebugBuild) {
    EXPECT_NONFATAL_FAILURE(MisspeltControlInATimerTick(),
                            "programming error in a guarded handler: no control named FreqEdit");
    // Outside the tests: a debug build ends loudly; a release build shows it, as a failure.
    SetProgrammingErrorHandler(nullptr);
    QString shown;
    SetFailureHandler([&](const QString& text) { shown = text; });
#ifdef NDEBUG
    MisspeltControlInATimerTick();
    EXPECT_EQ(shown, "no control named FreqEdit");
#else
    EXPECT_DEATH(Guarded([] { throw std::out_of_range("record index out of range"); }),
                 "Programming error: record index out of range");
    EXPECT_EQ(shown, "");
#endif
}
