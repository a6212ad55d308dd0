#include "base/GetField.h"

namespace {

bool IsBlank(const QString& text) {
    for (QChar c : text)
        if (c != QChar(' '))
            return false;
    return true;
}

} // namespace

QString GetField(const QString& text, QChar sep, int n) {
    if (n < 1 || IsBlank(text))
        return {};
    qsizetype from = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype at = text.indexOf(sep, from);
        if (at < 0)
            return {};
        from = at + 1;
    }
    const qsizetype to = text.indexOf(sep, from);
    return text.mid(from, to < 0 ? -1 : to - from);
}
