#include "support/GuardedFailures.h"

#include <QString>
#include <gtest/gtest.h>

#include "base/EventGuard.h"

namespace {
void FailTheTest() {
    SetFailureHandler([](const QString& text) {
        ADD_FAILURE() << "failure in a guarded handler: " << text.toStdString();
    });
    SetProgrammingErrorHandler([](const QString& text) {
        ADD_FAILURE() << "programming error in a guarded handler: " << text.toStdString();
    });
}

class FailureHandlerPerTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { FailTheTest(); }
    void OnTestEnd(const testing::TestInfo&) override { FailTheTest(); }
};
} // namespace

void FailTestsOnGuardedFailures() {
    FailTheTest();
    testing::UnitTest::GetInstance()->listeners().Append(new FailureHandlerPerTest);
}
