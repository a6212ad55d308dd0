#include "app/script/ScriptLine.h"

#include <QTextStream>

QStringList ScriptLines(const QByteArray& bytes) {
    QStringList lines;
    QTextStream in(bytes);
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

ScriptCommand ParseScriptLine(const QString& line) {
    using Verb = ScriptCommand::Verb;
    ScriptCommand c;
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith('#'))
        return c;
    qsizetype start = 0;
    while (line[start].isSpace())
        ++start;
    const QString s = line.mid(start);
    const qsizetype a = s.indexOf(' ');
    c.word = a < 0 ? s : s.left(a);
    if (a >= 0) {
        const QString tail = s.mid(a + 1);
        const qsizetype b = tail.indexOf(' ');
        c.name = (b < 0 ? tail : tail.left(b)).trimmed();
        c.rest = b < 0 ? QString() : tail.mid(b + 1);
    }
    static const struct {
        const char* word;
        Verb verb;
    } verbs[] = {{"click", Verb::Click},   {"set", Verb::Set},   {"page", Verb::Page},
                 {"print", Verb::Print},   {"grab", Verb::Grab}, {"wait", Verb::Wait},
                 {"answer", Verb::Answer}, {"quit", Verb::Quit}};
    c.verb = Verb::Unknown;
    for (const auto& v : verbs)
        if (c.word == QLatin1String(v.word))
            c.verb = v.verb;
    if (c.verb == Verb::Wait) {
        bool ok = false;
        const int ms = c.name.toInt(&ok);
        c.waitMs = ok && ms >= 0 ? ms : -1;
    } else if (c.verb == Verb::Answer) {
        using scripted::AnswerKind;
        const QString a = c.name.toLower();
        if (a == "ok")
            c.answer.kind = AnswerKind::Ok;
        else if (a == "cancel")
            c.answer.kind = AnswerKind::Cancel;
        else if (a == "yes")
            c.answer.kind = AnswerKind::Yes;
        else if (a == "no")
            c.answer.kind = AnswerKind::No;
        else {
            c.answer.kind = AnswerKind::Path;
            c.answer.path = c.rest.isEmpty() ? c.name : c.name + ' ' + c.rest;
        }
    }
    return c;
}
