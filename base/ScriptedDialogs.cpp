#include "base/ScriptedDialogs.h"

#include <cstdio>
#include <deque>

namespace scripted {
namespace {
bool active = false;
std::deque<DialogAnswer>& queue() {
    static std::deque<DialogAnswer> q;
    return q;
}
} // namespace

bool Active() {
    return active;
}
void SetActive(bool on) {
    active = on;
}
void QueueAnswer(const DialogAnswer& answer) {
    queue().push_back(answer);
}

std::optional<DialogAnswer> NextAnswer() {
    if (queue().empty())
        return std::nullopt;
    DialogAnswer a = queue().front();
    queue().pop_front();
    return a;
}

void Report(const QString& title, const QString& message) {
    std::printf("dialog: %s: %s\n", title.toLocal8Bit().constData(),
                message.toLocal8Bit().constData());
    std::fflush(stdout);
}

void Reset() {
    queue().clear();
}

} // namespace scripted
