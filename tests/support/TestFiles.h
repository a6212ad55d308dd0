#pragma once
// Small helpers of tests that work on files and failures.
#include <QByteArray>
#include <QFile>
#include <QString>

#include "base/Failure.h"

// The failure text of a call, or "" when it succeeds.
template <class F> QString FailureOf(F&& f) {
    try {
        f();
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
