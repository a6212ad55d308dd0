// Test entry for widget tests: always offscreen, so no display is needed.
#include <QApplication>
#include <gtest/gtest.h>

#include "support/GuardedFailures.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    FailTestsOnGuardedFailures();
    return RUN_ALL_TESTS();
}
