// A console script: any bytes. Every line reads as blank, an unknown verb or a command whose
// parts, written out again, read back the same; waits and answers take their values from them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/script/ScriptLine.h"

namespace {
bool Same(const ScriptCommand& x, const ScriptCommand& y) {
    return x.verb == y.verb && x.word == y.word && x.name == y.name && x.rest == y.rest &&
           x.waitMs == y.waitMs && x.answer.kind == y.answer.kind && x.answer.path == y.answer.path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using Verb = ScriptCommand::Verb;
    const QStringList lines =
        ScriptLines(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const QString& line : lines) {
        const ScriptCommand c = ParseScriptLine(line);
        const QString t = line.trimmed();
        if ((c.verb == Verb::Blank) != (t.isEmpty() || t.startsWith('#')))
            std::abort();
        if (c.verb == Verb::Blank)
            continue;
        if (c.word.isEmpty() || c.word.contains(' '))
            std::abort();
        QString again = c.word;
        if (!c.name.isEmpty() || !c.rest.isEmpty())
            again += ' ' + c.name + (c.rest.isEmpty() ? QString() : ' ' + c.rest);
        if (!Same(ParseScriptLine(again), c))
            std::abort();
        if (c.verb == Verb::Wait) {
            bool ok = false;
            const int ms = c.name.toInt(&ok);
            if (c.waitMs != (ok && ms >= 0 ? ms : -1))
                std::abort();
        }
        if (c.verb == Verb::Answer && c.answer.kind == scripted::AnswerKind::Path &&
            c.answer.path != (c.rest.isEmpty() ? c.name : c.name + ' ' + c.rest))
            std::abort();
    }
    return 0;
}
