#pragma once
// Ticks every millisecond while it lives and keeps the longest gap between two ticks: the longest
// time the event loop stood still, which is the longest time the window, the serial link and the
// report server would wait. It keeps too the longest time this thread computed between two ticks
// (on a loaded machine a gap also holds the time the process waited for a processor).
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <ctime>

class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longestMs_ = std::max(longestMs_, clock_.nsecsElapsed() / 1e6);
            clock_.restart();
            const double cpu = ThreadCpuMs();
            longestCpuMs_ = std::max(longestCpuMs_, cpu - lastCpuMs_);
            lastCpuMs_ = cpu;
        });
        clock_.start();
        lastCpuMs_ = ThreadCpuMs();
        timer_.start();
    }
    // The gap still open counts too.
    double LongestMs() const { return std::max(longestMs_, clock_.nsecsElapsed() / 1e6); }
    double LongestCpuMs() const { return std::max(longestCpuMs_, ThreadCpuMs() - lastCpuMs_); }

    static double ThreadCpuMs() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double longestMs_ = 0;
    double longestCpuMs_ = 0;
    double lastCpuMs_ = 0;
};
