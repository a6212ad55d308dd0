#pragma once
// Small helpers of tests that work on files and failures.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <fcntl.h>
#include <future>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

#include "base/Failure.h"

// The failure text of a call, thrown or returned as a Result's error, or "" when it succeeds.
template <class F> QString FailureOf(F&& f) {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>)
            f();
        else if (const auto result = f(); !result)
            return result.error().text;
    } catch (const Failure& e) {
        return e.text();
    }
    return {};
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs f on a thread of its own for at most ten seconds and returns what it returns. One that is
// still waiting then (on a pipe without a reader or writer) gives "<blocked>": each of the
// `pipes` is opened for reading and writing, which ends its wait, and drained until it is done,
// before the thread is joined.
template <class F> QString ResultWithin(F&& f, const QStringList& pipes) {
    std::packaged_task<QString()> task(std::forward<F>(f));
    std::future<QString> result = task.get_future();
    std::thread runner(std::move(task));
    const bool done = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!done) {
        std::vector<int> fds;
        for (const QString& pipe : pipes)
            fds.push_back(::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK));
        for (int i = 0; i < 1000 &&
                        result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready;
             ++i) {
            char sink[65536];
            for (const int fd : fds)
                while (fd >= 0 && ::read(fd, sink, sizeof sink) > 0) {
                }
        }
        for (const int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    runner.join();
    return done ? result.get() : QStringLiteral("<blocked>");
}
