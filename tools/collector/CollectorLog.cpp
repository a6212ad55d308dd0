#include "tools/collector/CollectorLog.h"

#include <cstdio>
#include <mutex>

namespace collector {

void Log(const QString& line) {
    static std::mutex mutex;
    const QByteArray text = "impix-collector: " + line.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace collector
