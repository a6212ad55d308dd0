#include "base/EventGuard.h"

#include <cstdio>
#include <exception>
#include <new>

#include "base/Failure.h"

namespace {
std::function<void(const QString&)>& failureHandler() {
    static std::function<void(const QString&)> show = [](const QString& text) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    };
    return show;
}

void show(const QString& text) noexcept {
    try {
        failureHandler()(text);
    } catch (...) {
        // Showing the failure failed too; nothing more can be done for it.
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
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
        show(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        show(QStringLiteral("Unknown failure"));
    }
}

void SetFailureHandler(std::function<void(const QString&)> show) {
    failureHandler() = std::move(show);
}
