// Test entry for widget-free code: an event loop for timers and sockets, no display.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "support/GuardedFailures.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    FailTestsOnGuardedFailures();
    return RUN_ALL_TESTS();
}
