#include "base/EventGuard.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "base/Failure.h"

namespace {
void printLine(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

std::function<void(const QString&)>& failureHandler() {
    static std::function<void(const QString&)> show = printLine;
    return show;
}

std::function<void(const QString&)>& programmingErrorHandler() {
    static std::function<void(const QString&)> handle;
    return handle;
}

void show(const QString& text) noexcept {
    try {
        failureHandler()(text);
    } catch (...) {
        // Showing the failure failed too; nothing more can be done for it.
        printLine(text);
    }
}

void programmingError(const QString& text) noexcept {
    if (programmingErrorHandler()) {
        try {
            programmingErrorHandler()(text);
            return;
        } catch (...) {
        }
    }
    printLine("Programming error: " + text);
#ifndef NDEBUG
    std::abort();
#else
    show(text);
#endif
}
} // namespace

void Guarded(const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (const Failure& f) {
        show(f.text());
    } catch (const std::bad_alloc&) {
        show(QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        programmingError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        programmingError(QStringLiteral("Unknown failure"));
    }
}

void SetFailureHandler(std::function<void(const QString&)> show) {
    failureHandler() = std::move(show);
}

void SetProgrammingErrorHandler(std::function<void(const QString&)> handle) {
    programmingErrorHandler() = std::move(handle);
}
