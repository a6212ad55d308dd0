// The emulator's command line.
#include <gtest/gtest.h>

#include "base/Failure.h"
#include "tools/logger/LoggerOptions.h"

using namespace logger;

TEST(LoggerOptions, ReadsEveryOption) {
    LoggerOptions o = ParseOptions({"impix-logger",
                                    "--link",
                                    "/tmp/x/dev/COM2",
                                    "--speed",
                                    "2.5",
                                    "--period-ms",
                                    "40",
                                    "--report-host",
                                    "10.0.0.9",
                                    "--report-port",
                                    "4100",
                                    "--report-all",
                                    "--retry-delay-ms",
                                    "10",
                                    "--noise",
                                    "7",
                                    "--noise-any",
                                    "--bad-checksum-every",
                                    "5",
                                    "--pause-ms",
                                    "300",
                                    "--seed",
                                    "18446744073709551615",
                                    "--verbose",
                                    "--dump-items",
                                    "/tmp/x/items.txt"});
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.linkPath, "/tmp/x/dev/COM2");
    EXPECT_EQ(o.speed, 2.5);
    EXPECT_EQ(o.periodMs, 40);
    EXPECT_EQ(o.reportHost, "10.0.0.9");
    EXPECT_EQ(o.reportPort, 4100);
    EXPECT_TRUE(o.reportAll);
    EXPECT_EQ(o.retryDelayMs, 10);
    EXPECT_EQ(o.faults.noiseBytes, 7);
    EXPECT_TRUE(o.faults.noiseMayStartFrame);
    EXPECT_EQ(o.faults.badChecksumEvery, 5);
    EXPECT_EQ(o.faults.pauseMs, 300);
    EXPECT_EQ(o.seed, 18446744073709551615ull);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.dumpItemsPath, "/tmp/x/items.txt");
}

TEST(LoggerOptions, DefaultsAndHelp) {
    LoggerOptions o = ParseOptions({"impix-logger"});
    EXPECT_TRUE(o.linkPath.isEmpty());
    EXPECT_EQ(o.speed, 1.0);
    EXPECT_EQ(o.periodMs, 0);
    EXPECT_EQ(o.reportPort, 4000);
    EXPECT_FALSE(o.reportAll);
    EXPECT_EQ(o.faults.noiseBytes, 0);
    EXPECT_FALSE(o.faults.noiseMayStartFrame);
    EXPECT_EQ(o.faults.badChecksumEvery, 0);
    LoggerOptions h = ParseOptions({"impix-logger", "--help"});
    EXPECT_TRUE(h.help);
    EXPECT_TRUE(h.helpText.contains("--bad-checksum-every"));
}

TEST(LoggerOptions, ReadsTheFleet) {
    LoggerOptions o =
        ParseOptions({"impix-logger", "--fleet", "500", "--fleet-address", "127.3.0.1", "--items",
                      "20", "--reports", "3", "--report-interval-ms", "50", "--retries", "9",
                      "--clock-start", "2026-03-01T08:00:00"});
    EXPECT_EQ(o.fleet.loggers, 500);
    EXPECT_EQ(o.fleet.firstAddress, QHostAddress("127.3.0.1"));
    EXPECT_EQ(o.fleet.items, 20);
    EXPECT_EQ(o.fleet.reports, 3);
    EXPECT_EQ(o.fleet.intervalMs, 50);
    EXPECT_EQ(o.fleet.retries, 9);
    EXPECT_EQ(o.fleet.clockStart.toString("yyyy-MM-dd hh:mm:ss t"), "2026-03-01 08:00:00 UTC");
    EXPECT_EQ(ParseOptions({"impix-logger"}).fleet.loggers, 0);
}

TEST(LoggerOptions, BadValuesAreRefused) {
    const QStringList bad[] = {
        {"impix-logger", "--speed", "0"},
        {"impix-logger", "--speed", "fast"},
        {"impix-logger", "--period-ms", "-5"},
        {"impix-logger", "--report-port", "70000"},
        {"impix-logger", "--noise", "x"},
        {"impix-logger", "--seed", "-1"},
        {"impix-logger", "--no-such-option"},
        {"impix-logger", "stray"},
        {"impix-logger", "--items", "5"},
        {"impix-logger", "--fleet", "0"},
        {"impix-logger", "--fleet", "2", "--fleet-address", "::1"},
        {"impix-logger", "--fleet", "2", "--fleet-address", "255.255.255.255"},
        {"impix-logger", "--fleet", "2", "--link", "/tmp/x/COM2"},
        {"impix-logger", "--fleet", "2", "--clock-start", "yesterday"},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_THROW(ParseOptions(args), Failure);
    }
}
